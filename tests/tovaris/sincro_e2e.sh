#!/usr/bin/env bash
# The synchronisation with the host archive through the stand-in host: the
# demo product added after the last synchronisation (FM007) becomes a host
# article and gets its bill of materials; the raw materials, all there
# already, are copied no second time. The picture goes to the folder given
# second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
archivio="$tmp/host/Dati/TOVARIS.FDB"
articoli=$(righe "SELECT COUNT(*) FROM ANAMAG")

cat > "$tmp/sincro.txt" <<'SCRIPT'
open ShowSincroTovarisFormX 1 41
expect title Sincro Tovaris - Ditta: Chimica Demo S.r.l.
expect size 800 600
visible BarraProgresso 0
click ButtonMateriePrime
message Avviare sincro Materie prime?
answer Sì
message Elaborazione completata
answer OK
expect MemoRiepilogo Individuate 19 materie prime\nInizio sincronizzazione\nSincronizzazione terminata\nRiversate 0 materie prime
click Prodotti finiti
message Avviare sincro Prodotti finiti?
answer Sì
message Elaborazione completata
answer OK
expect MemoRiepilogo Individuati 7 prodotti finiti\nInizio sincronizzazione\nSincronizzazione terminata\nRiversati 1 prodotti finiti
click ButtonInfoDistinte
message Questa operazione va fatta dopo aver lanciato le seguenti sincro:\r- Materie prime\r- Prodotti finiti
answer OK
click ButtonSincroDistinte
message Avviare sincro distinte?
answer Sì
message Elaborazione completata
answer OK
expect MemoRiepilogo Individuati 7 prodotti finiti\nInizio sincronizzazione\nSincronizzazione terminata\nRiversate 3 voci in distinte
visible BarraProgresso 0
enabled ButtonChiudi 1
SCRIPT
echo "shot $immagini/sincro_tovaris.png" >> "$tmp/sincro.txt"
cat >> "$tmp/sincro.txt" <<'SCRIPT'
click ButtonCategorieImballi
message Avviare sincro Categorie imballi?
answer No
click ButtonChiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/sincro.txt" || { echo "the synchronisation script failed"; exit 1; }
[ -s "$immagini/sincro_tovaris.png" ] || { echo "no picture"; exit 1; }

verifica "SELECT COUNT(*) FROM ANAMAG" "$((articoli + 1))"
verifica "SELECT CODICE, ESTENSIONE, TIPOARTICOLO, DESCRIZIONE1, CLASSIFICAZIONE2 FROM ANAMAG \
WHERE CODICE='FM007'" "FM007 0 F Candeggina Profumata 5 L 4"
# 35 % of sodium hypochlorite in 5-litre cans of a product of density 1,08
verifica "SELECT NRIGA, CODICECOMPONENTE, ESTENSIONECODICECOMP, \
CAST(QUANTITACOMPONENTE AS NUMERIC(12,6)), UDM FROM DISTINT WHERE CODICEARTICOLO='FM007' \
ORDER BY NRIGA" "1 MP017 0 0.378000 Kg 2 MP006 0 0.010800 Kg 3 MP010 0 0.001080 Kg"
echo "1 passed, 0 failed"
