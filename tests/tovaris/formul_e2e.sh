#!/usr/bin/env bash
# The formulation card through the stand-in host, as a user works it: a new
# formulation on the code the card proposes, two component lines whose cost
# shows on the page and reaches FORMUL.COSTOUNITARIO (a third line, added and
# deleted, counts while it is there), three procedure lines
# (the third renumbered between the first two), a note on a history row, a
# duplicate with every line and no history of its own, and the duplicate's
# deletion. Pictures of the first page, of the components, of the procedures
# and of the history go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

# The demo company's highest formulation code is 6, and products name no
# higher one: the card proposes 7, then 8 for the duplicate.
cat > "$tmp/formulazione.txt" <<SCRIPT
open ShowFormulFormD 1
expect title Scheda formulazioni - Ditta: Chimica Demo S.r.l.

# formulation 1 makes two products: the question says so, and is declined
row GridFormul 1
expect EditCodice2 1
click ButtonElimina
message La formulazione è usata da 2 prodotti.\r\nEliminare il record selezionato?
answer No
nomessage
expect EditCodice2 1

# a code must be a number not in use
click ButtonNuovo
expect title Nuova formulazione
expect Edit1 7
text Edit1 A1
click OKBtn
message Specificare un valore numerico valido
answer OK
text Edit1 6
click OKBtn
message Il codice inserito è già in uso
answer OK
text Edit1 7
click OKBtn
expect EditCodice 7
enabled TabSetFormul 0
text EditNome Detergente vetri di prova
text EditSpecifiche Pronto all'uso, con alcool
click ButtonMemorizza
nomessage
expect EditCodice2 7
expect EditNome2 Detergente vetri di prova
expect EditSpecifiche2 Pronto all´uso, con alcool
wait 600
expect LabelVersione 1
shot $immagini/formulazione_pagina1.png

# the components: 30 % of MP002 at 1,85 and 12,5 % of MP004 at 2,10
key TabSetFormul Right
expect PanelTestataCODICE 7
click ButtonNuovoCompon
expect EditNRigaCompon 1
text EditCodiceCompon MP002
text EditPercCompon 30
click ButtonMemorizzaCompon
nomessage
expect EditCodiceCompon2 MP002
expect EditDescrizioneCompon2 Sodio lauriletere solfato 70%
click ButtonNuovoCompon
expect EditNRigaCompon 2
text EditCodiceCompon MP004
text EditPercCompon 12,5
text EditTolleranzaCompon 5
click ButtonMemorizzaCompon
nomessage
expect EditCodiceCompon2 MP004
wait 600
expect LabelComponVersione 1
expect EditCostoTotale 0,8175
expect EditPercentualeAcqua 57,5
expect StaticPrezzoAcqua 0,004
expect EditCostoAcqua 0,0023
# a bad percentage is refused; a third line counts, and after its deletion
# no more
click ButtonNuovoCompon
expect EditNRigaCompon 3
text EditCodiceCompon MP007
text EditPercCompon 1x
click ButtonMemorizzaCompon
message Specificare un valore numerico valido per "% p/p"
answer OK
expect EditPercCompon 1x
text EditPercCompon 1
click ButtonMemorizzaCompon
nomessage
wait 600
expect EditCostoTotale 0,828
row GridCompon 3
click ButtonEliminaCompon
message Eliminare il record selezionato?
answer Sì
nomessage
wait 600
expect EditCostoTotale 0,8175
expect EditPercentualeAcqua 57,5
row GridCompon 1
expect EditCodiceCompon2 MP002
expect EditPercCompon2 30
wait 600
expect LabelComponVersione 1
shot $immagini/formulazione_componenti.png

# the procedures: 1 and 2, then a third line moved between them as 1,5
key TabSetFormul Right
click ButtonNuovoProced
expect EditNRigaProced 1
text MemoTestoProced Caricare l'acqua addolcita nel miscelatore.
click ButtonMemorizzaProced
nomessage
click ButtonNuovoProced
expect EditNRigaProced 2
text MemoTestoProced Aggiungere i tensioattivi sotto agitazione lenta.
click ButtonMemorizzaProced
nomessage
click ButtonNuovoProced
expect EditNRigaProced 3
text EditNRigaProced 1,5
text MemoTestoProced Controllare la durezza dell'acqua.
click ButtonMemorizzaProced
nomessage
expect EditNRigaProced2 1,5
row GridProced 2
expect MemoTestoProced2 Controllare la durezza dell´acqua.
row GridProced 3
expect MemoTestoProced2 Aggiungere i tensioattivi sotto agitazione lenta.
wait 600
expect LabelProcedVersione 1
shot $immagini/formulazione_procedure.png

# the history, ordered by line then version; a note on the first component's version
key TabSetFormul Right
key TabSetFormul Right
expect EditCodice2 7
row GridStoricoT 12
wait 600
row GridStoricoT 6
wait 600
click StoricoT_ButtonNote
expect title Editazione libera
expect MemoEdit
text MemoEdit Prima stesura\ncosto da verificare
answer OK
nomessage
expect StoricoT_MemoNote Prima stesura\ncosto da verificare
shot $immagini/formulazione_storico.png
click ButtonStoricoChiudi

# a duplicate under the next code, then deleted
click ButtonDuplica
expect title Nuova formulazione
expect Edit1 8
click OKBtn
nomessage
expect EditCodice2 8
expect EditNome2 Detergente vetri di prova
click ButtonElimina
message Eliminare il record selezionato?
answer Sì
nomessage
expect EditCodice2 7
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/formulazione.txt" || { echo "the formulation script failed"; exit 1; }
for f in formulazione_pagina1.png formulazione_componenti.png formulazione_procedure.png \
  formulazione_storico.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the unit cost: 30 × 1,85 / 100 + 12,5 × 2,10 / 100
verifica "SELECT CAST(COSTOUNITARIO AS NUMERIC(12,6)) FROM FORMUL WHERE CODICE=7" "0.817500"
verifica "SELECT NRIGA, CODICEMATERIAPRIMA, CAST(PERCENTUALE AS NUMERIC(9,3)) FROM COMPON \
WHERE CODICEFORMULAZIONE=7 ORDER BY NRIGA" "1 MP002 30.000 2 MP004 12.500"
verifica "SELECT CAST(NRIGA AS NUMERIC(9,1)), CAST(TESTO AS VARCHAR(200)) FROM PROCED WHERE CODICEFORMULAZIONE=7 \
ORDER BY NRIGA" "1.0 Caricare l´acqua addolcita nel miscelatore. \
1.5 Controllare la durezza dell´acqua. 2.0 Aggiungere i tensioattivi sotto agitazione lenta."
# a header version per save, a line version per line saved or deleted; the
# renumbered line's version holds it under its old number
verifica "SELECT CAST(NRIGA AS NUMERIC(9,1)), VERSIONET, VERSIONED, TABELLA, ELIMINAZIONE \
FROM STOFORMULRIEP WHERE CODICE=7 ORDER BY VERSIONET, TABELLA, NRIGA, VERSIONED" \
  "0.0 1 0 STOFORMUL 0 1.0 2 1 STOCOMPON 0 0.0 2 0 STOFORMUL 0 2.0 3 1 STOCOMPON 0 \
0.0 3 0 STOFORMUL 0 3.0 4 1 STOCOMPON 0 0.0 4 0 STOFORMUL 0 3.0 5 1 STOCOMPON 1 \
0.0 5 0 STOFORMUL 1 1.0 5 1 STOPROCED 0 2.0 5 1 STOPROCED 0 3.0 5 1 STOPROCED 0"
verifica "SELECT VERS, COALESCE(NOME,'-'), CAST(COALESCE(COSTOUNITARIO,0) AS NUMERIC(9,4)) \
FROM STOFORMUL WHERE CODICE=7 ORDER BY VERS" \
  "1 - 0.0000 2 Detergente vetri di prova 0.0000 3 Detergente vetri di prova 0.5550 \
4 Detergente vetri di prova 0.8175 5 Detergente vetri di prova 0.8280"
verifica "SELECT TABELLA, VERSIONET, CAST(NRIGA AS NUMERIC(9,1)), CAST(NOTE AS VARCHAR(100)) \
FROM STOFORMULRIEP WHERE CODICE=7 AND NOTE IS NOT NULL" \
  "STOCOMPON 2 1.0 Prima stesura costo da verificare"
# the duplicate held every line; its only history is its deletion
verifica "SELECT COUNT(*) FROM FORMUL WHERE CODICE=8" "0"
verifica "SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=1" "6"
verifica "SELECT VERS, NOME FROM STOFORMUL WHERE CODICE=8" "1 Detergente vetri di prova"
verifica "SELECT TABELLA, CAST(NRIGA AS NUMERIC(9,1)), VERSIONET, VERSIONED, ELIMINAZIONE \
FROM STOFORMULRIEP WHERE CODICE=8 ORDER BY TABELLA, NRIGA" \
  "STOCOMPON 1.0 1 1 1 STOCOMPON 2.0 1 1 1 STOFORMUL 0.0 1 0 1 STOPROCED 1.0 1 1 1 \
STOPROCED 1.5 1 1 1 STOPROCED 2.0 1 1 1"
verifica "SELECT CODICEMATERIAPRIMA, CAST(PERCENTUALE AS NUMERIC(9,3)), \
CAST(TOLLERANZA AS NUMERIC(9,2)) FROM STOCOMPON WHERE CODICEFORMULAZIONE=8 ORDER BY NRIGA" \
  "MP002 30.000 <null> MP004 12.500 5.00"
verifica "SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=8" "0"
verifica "SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=8" "0"
echo "1 passed, 0 failed"
