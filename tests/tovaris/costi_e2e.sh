#!/usr/bin/env bash
# The cost-analysis screen through the stand-in host: a new sheet for a demo
# product (Piatti Limone 5 L, 500 pieces) is stored with its figures; then a
# raw material of its formulation costs one more per kilogram (changed with
# isql, as another program would), and "Calcola" on the reopened screen
# shows and stores the new unit product cost at once.
# Pictures of the new sheet and of the recalculated one go to the folder
# given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

# A figure as the sheet shows it: four decimals after a comma.
comeMostrato() {
  sed 's/\./,/'
}

cat > "$tmp/nuova.txt" <<SCRIPT
open ShowCostiFormD 1
expect title Analisi costi - Ditta: Chimica Demo S.r.l.
click ButtonNuovo
expect title Analisi costi inserimento - Ditta: Chimica Demo S.r.l.
text EditDescrizione Piatti Limone 5 L - lotto 500 pezzi
text EditCodiceProdotto FM002
wait 1200
expect StaticDescrizioneProdotto Piatti Limone 5 L
expect StaticUDM Litro
text EditQuantitaDaProdurre 500
text EditTempoProduzione 0,002
text EditTempoAvvio 1
text EditTempoControlloQualita 0,5
text EditTempoConfezionamento 0,001
click OKBtn
nomessage
expect EditCodice 4
expect StaticTipoScheda PRIMARIA
expect EditTempoProduzione 0,002
expect EditTempoConfezionamento 0,001
# CM = (1 + (0,002 + 0,001) x 500 + 0,5) x 32
expect EditCostoManodopera 96,0000
wait 1200
expect StaticDescrizioneProdotto Piatti Limone 5 L
expect ButtonPrezzoFinale Prezzo al Litro
visible LabelAvviso 0
shot $immagini/costi_nuova_scheda.png
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/nuova.txt" || { echo "the new-sheet script failed"; exit 1; }
verifica "SELECT DESCRIZIONE, CODICEPRODOTTO, CAST(QUANTITADAPRODURRE AS INTEGER), TIPOSCHEDA, \
TIPOCOMPOSIZIONE, CAST(COSTOMANODOPERA AS NUMERIC(12,4)) FROM COSTI WHERE CODICE=4" \
  "Piatti Limone 5 L - lotto 500 pezzi FM002 500 0 0 96.0000"
# rounded as the screen rounds: halves away from zero on the figure's first
# fifteen digits
prima=$(righe "SELECT CAST(CAST(COSTOMATERIALI AS NUMERIC(18,10)) AS NUMERIC(12,4)) \
FROM COSTI WHERE CODICE=4")
[ -n "$prima" ] || { echo "the new sheet has no unit product cost"; exit 1; }

# MP002 is 12 % of the formulation: one more per kilogram adds 0,12
printf "UPDATE MATER SET PREZZO=PREZZO+1 WHERE CODICE='MP002';\nCOMMIT;\n" | sql > /dev/null
atteso=$(righe "SELECT CAST(CAST(COSTOMATERIALI + 0.12 AS NUMERIC(18,10)) AS NUMERIC(12,4)) \
FROM COSTI WHERE CODICE=4")

cat > "$tmp/ricalcolo.txt" <<SCRIPT
open ShowCostiFormD 1
row GridCosti 4
expect EditCodice 4
expect EditCostoMateriali $(echo "$prima" | comeMostrato)
click ButtonCalcola
message Effettuare un ricalcolo?
answer Sì
nomessage
expect EditCodice 4
expect EditCostoMateriali $(echo "$atteso" | comeMostrato)
wait 1200
shot $immagini/costi_ricalcolo.png
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/ricalcolo.txt" || { echo "the recalculation script failed"; exit 1; }
for f in costi_nuova_scheda.png costi_ricalcolo.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done
verifica "SELECT CAST(CAST(COSTOMATERIALI AS NUMERIC(18,10)) AS NUMERIC(12,4)) FROM COSTI \
WHERE CODICE=4" "$atteso"
verifica "SELECT COUNT(*) FROM COSTI WHERE CODICE=4 AND DATAULTIMAMODIFICA=CURRENT_DATE" "1"
echo "1 passed, 0 failed"
