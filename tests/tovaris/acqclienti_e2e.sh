#!/usr/bin/env bash
# The customer acquisition through the stand-in host, on the demo's customer
# file (Windows-1252, with a heading): two new customers with their delivery
# addresses are added and the one the host knows under another name is
# overwritten, keeping its creation data. The pictures of the question and
# of the summary go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
archivio="$tmp/host/Dati/TOVARIS.FDB"
file="$tmp/host/Importazioni/clienti.csv"
[ -s "$file" ] || { echo "the demo has no customer file"; exit 1; }

cat > "$tmp/acquisizione.txt" <<SCRIPT
open ShowAcqCliQuintarFormX 1 42
expect title Acquisizione clienti - Ditta: Chimica Demo S.r.l.
checked CheckSaltaPrimaRiga 1
visible PanelProgresso 0
click ButtonAcquisisci
message E' necessario selezionare un file
answer OK
text EditFile $file
click ButtonAcquisisci
message Analisi file terminata\r\rTotale clienti rilevati: 4\rTotale clienti nuovi: 2\rTotale clienti con modifiche: 1\rTotale destinatari rilevati: 4\rTotale destinatari nuovi: 2\rTotale destinatari con modifiche: 0\r\rVerranno ora acquisiti i nuovi soggetti.\rEffettuare anche la sovrascrittura dei soggetti che hanno subito variazioni?
shot $immagini/acquisizione_clienti_domanda.png
answer Sì
message Elaborazione completata
answer OK
visible PanelProgresso 0
enabled ButtonAcquisisci 1
shot $immagini/acquisizione_clienti.png
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/acquisizione.txt" || { echo "the acquisition script failed"; exit 1; }
for f in acquisizione_clienti.png acquisizione_clienti_domanda.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

verifica "SELECT CODICE, RAGSOC, OP1, DATACREAZIONE, OP2, DATAULTIMOAGGIORNAMENTO=CURRENT_DATE \
FROM CLIENTI WHERE CODICE='C0002'" "C0002 Ipermercati Tirreno S.p.A. 1 2024-09-02 1 <true>"
verifica "SELECT CODICE, RAGSOC, CITTA, PI, COALESCE(INTESTATARIOFATTURA,'-') FROM CLIENTI \
WHERE CODICE STARTING WITH 'C0005' ORDER BY CODICE" \
  "C0005 Drogheria Sant´Antonio di Bianchi Lucia Forlì 04455660401 - \
C000501 Drogheria Sant´Antonio di Bianchi Lucia Forlì <null> C0005 \
C000502 Drogheria Sant´Antonio - Magazzino Forlì <null> C0005"
verifica "SELECT COUNT(*) FROM CLIENTI WHERE CODICE='C000502' AND NOTETECNICHE STARTING WITH \
'<INDIRIZZO AGG2=Capannone 3>'" "1"
verifica "SELECT COUNT(*) FROM CLIENTI WHERE DATACREAZIONE=CURRENT_DATE" "4"

# the same file again: nothing new, nothing changed
cat > "$tmp/ancora.txt" <<SCRIPT
open ShowAcqCliQuintarFormX 1 43
text EditFile $file
click ButtonAcquisisci
message Nel file non è stato rilevato nessun soggetto nuovo o modificato
answer OK
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/ancora.txt" || { echo "the second acquisition failed"; exit 1; }
echo "1 passed, 0 failed"
