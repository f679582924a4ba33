#!/usr/bin/env bash
# The raw-materials card through the stand-in host, as a user works it: a
# material is created (a bad price is refused first), given an analogue code,
# a data-sheet line and an uncoded analogue, changed twice and deleted;
# the history page lists every version and the archive keeps them all, the
# deletion ones included, with no line of the material left behind.
# Pictures of the card and of its history page go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

cat > "$tmp/materia.txt" <<SCRIPT
open ShowMaterFormD 1
expect title Scheda materie prime - Ditta: Chimica Demo S.r.l.

# a new material: the code is asked first, then the card waits for its data
click ButtonNuovo
expect title Nuovo materiale
text Edit1 MP900
click OKBtn
expect EditCodice MP900
enabled TabSetMater 0
text ComboCategoriaMP 1
text EditDescrizione Tensioattivo di prova
text EditPrezzo 12,5x
click ButtonMemorizza
message Specificare un valore numerico valido per "Prezzo al Kg"
answer OK
expect EditCodice MP900
expect EditPrezzo 12,5x
enabled TabSetMater 0
text EditPrezzo 12,5
click ButtonMemorizza
nomessage
expect EditCodice2 MP900
expect EditDescrizione2 Tensioattivo di prova
wait 600
expect LabelVersione 1

# the analogue code: the material heads its own group
click ButtonEdit
text EditCodiceAnalogo MP900
click ButtonMemorizza
expect EditCodiceAnalogo2 MP900
wait 600
expect LabelVersione 2

# a data-sheet line
key TabSetMater Right
expect PanelTestataCODICE MP900
expect PanelTestataNOMECOMMERCIALE Tensioattivo di prova
click ButtonSpNuovo
expect EditSpNRiga 1
text EditSpSpecifica Aspetto: liquido limpido paglierino
click ButtonSpMemorizza
nomessage
expect EditSpSpecifica2 Aspetto: liquido limpido paglierino
wait 600
expect LabelSpVersione 1

# an uncoded analogue of the group
key TabSetMater Right
row GridAna 1
click ButtonAnaNCNuovo
expect EditAnaNCCodice MP900
expect EditAnaNCNRiga 1
text EditAnaNCDescrizione Tensioattivo generico d'importazione
text EditAnaNCValutazione Buona
text EditAnaNCNote Schiuma più bassa\nprovare al 10 %
click ButtonAnaNCMemorizza
nomessage
expect EditAnaNCDescrizione2 Tensioattivo generico d´importazione
expect EditAnaNCNote2 Schiuma più bassa\nprovare al 10 %
wait 600
expect LabelAnaNCVersione 1
click ButtonAnaNCChiudi
# back on the first page its small lists show the new lines
wait 600
row GridSpecifiche 1
row GridAnaloghiNonCod 1

# two real changes, and a save that changes nothing in between
click ButtonEdit
text EditPrezzo 13,2
click ButtonMemorizza
wait 600
expect LabelVersione 3
click ButtonEdit
click ButtonMemorizza
wait 600
expect LabelVersione 3
click ButtonEdit
text EditDescrizione Tensioattivo dell'anno
click ButtonMemorizza
expect EditDescrizione2 Tensioattivo dell´anno
wait 600
expect LabelVersione 4
shot $immagini/scheda_materie_prime.png

# the history: four header versions, one line of each page
key TabSetMater Right
key TabSetMater Right
key TabSetMater Right
key TabSetMater Right
key TabSetMater Right
expect PanelTestataCODICE MP900
row GridStoricoT 6
wait 600
row GridStoricoD 1
row GridStoricoT 1
wait 600
row GridStoricoD 1
shot $immagini/storico_materie_prime.png
click ButtonStoricoChiudi

click ButtonElimina
message Eliminare il record selezionato?
answer Sì
nomessage
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/materia.txt" || { echo "the raw-material script failed"; exit 1; }
for f in scheda_materie_prime.png storico_materie_prime.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the archive: a header version per real change, the lines' versions under
# the header version of their time, and the deletion's versions
verifica "SELECT VERS, COALESCE(NOMECOMMERCIALE,'-'), COALESCE(CAST(PREZZO AS NUMERIC(9,2)),0), \
COALESCE(CODICEANALOGO,'-') FROM STOMATER WHERE CODICE='MP900' ORDER BY VERS" \
  "1 - 0.00 - 2 Tensioattivo di prova 12.50 - 3 Tensioattivo di prova 12.50 MP900 \
4 Tensioattivo di prova 13.20 MP900 5 Tensioattivo dell´anno 13.20 MP900"
verifica "SELECT VERSIONET, NRIGA, VERSIONED, TABELLA, COALESCE(CODICEANALOGO,'-'), ELIMINAZIONE \
FROM STOMATERRIEP WHERE CODICE='MP900' ORDER BY VERSIONET, NRIGA, TABELLA, VERSIONED" \
  "1 0 0 STOMATER - 0 2 0 0 STOMATER - 0 2 1 1 STOANANC MP900 0 2 1 1 STOSPECIF - 0 \
3 0 0 STOMATER - 0 4 0 0 STOMATER - 0 5 0 0 STOMATER - 1 5 1 1 STOANANC MP900 1 \
5 1 1 STOSPECIF - 1"
# a line's first version holds it as it was before its first save; the
# deletion's version holds it as it was deleted
verifica "SELECT VERSIONET, VERSIONED, COALESCE(SPECIFICA,'-') FROM STOSPECIF \
WHERE CODICEMP='MP900' ORDER BY VERSIONET, VERSIONED" \
  "2 1 - 5 1 Aspetto: liquido limpido paglierino"
verifica "SELECT VERSIONET, VERSIONED, COALESCE(DESCRIZIONE,'-'), COALESCE(VALUTAZIONE,'-') \
FROM STOANANC WHERE CODICEANALOGO='MP900' ORDER BY VERSIONET, VERSIONED" \
  "2 1 - - 5 1 Tensioattivo generico d´importazione Buona"
verifica "SELECT COUNT(*) FROM MATER WHERE CODICE='MP900'" "0"
verifica "SELECT COUNT(*) FROM SPECIF WHERE CODICEMP='MP900'" "0"
verifica "SELECT COUNT(*) FROM ANANC WHERE CODICEANALOGO='MP900'" "0"
echo "1 passed, 0 failed"
