#!/usr/bin/env bash
# The manufacturing sheet through the stand-in host, as a user works it: a
# new batch of a demo product (a refused key first), its header proposed
# from the product, 500 kg in 750 ml bottles on a filling machine; saved, the
# formulation's lines are the batch's, with the first version. The "Materie"
# page shows each line's quantity, scale and tolerance and the softened
# water; the search finds the batch by date; its deletion leaves the
# deletion version and no lines. The procedure page shows the formulation's
# steps, and "&Stampa" prints the sheet into PDF.
# Pictures of the edit page and of the components page go to the folder
# given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
oggi=$(date +%d/%m/%Y)

cat > "$tmp/fabbricazione.txt" <<SCRIPT
open ShowLiqPolvFormD 1
expect title Scheda fabbricazione - Ditta: Chimica Demo S.r.l.

# a key already used is refused, then the new batch is accepted
click ButtonNuovo
expect title Nuova produzione - Ditta: Chimica Demo S.r.l.
expect EditData $oggi
text EditProdotto FM001
text EditData 15/01/2025
text EditLotto L25015
click ButtonOk
message Esiste già un record con la combinazione di valori inseriti
answer OK
text EditProdotto FM003
wait 1200
expect EditNomeProdotto Sgrassatore Universale 750 ml
text EditData $oggi
text EditLotto E2E-01
click ButtonOk
nomessage

# the header proposed from the product
expect EditCodice FM003
expect EditLotto E2E-01
expect EditNomeProdotto Sgrassatore Universale 750 ml
expect EditContenitore Flacone PET 750 ml trasparente
expect EditCodiceContenitore IC003
expect EditTappo Trigger 28/410 bianco
enabled TabSetLiqPolv 0
text EditQuantitaLitri 500
text ComboUnitaMisura Kg
text ComboCapacita Flacone 750 ml
expect EditQtaCont 666,67
text ComboRiempitrice Riempitrice lineare flaconi 0,5 - 2 L
text ComboStatus DA FARE
wait 600
expect EditPO 2
shot $immagini/fabbricazione_editazione.png
click ButtonMemorizza
nomessage

# the consultation page: the batch as saved, its containers and version
enabled TabSetLiqPolv 1
expect EditCodice2 FM003
expect EditQuantitaLitri2 500
expect EditCapacita2 Flacone 750 ml
expect EditQtaCont2 666,67
expect EditRiempitrice2 Riempitrice lineare flaconi 0,5 - 2 L
wait 600
expect LabelVersione 1

# the components: 500 kg, density 1 for a batch in Kg
key TabSetLiqPolv Right
rows GridCompon 5
row GridCompon 1
wait 1200
expect EditComponCodice MP004
expect EditComponQuantita 25,1
expect EditComponBilancia 11
expect EditComponTolleranza 100
row GridCompon 4
wait 1200
expect EditComponQuantita 7,51
expect EditComponBilancia 3
expect EditComponTolleranza 30
row GridCompon 5
wait 1200
expect EditComponQuantita 1
expect EditComponBilancia 2
expect EditComponTolleranza 10
expect EditQuantitaTotale 500
expect EditPercentualeAcqua 88,3
expect EditQuantitaAcqua 441,5
expect EditTolleranzaAcqua 2.200
expect EditBilanciaAcqua 11
shot $immagini/fabbricazione_materie.png

# the pre-production sheet: the lines get their weighing barcodes and are
# printed through the preview into PDF
key TabSetLiqPolv Left
click ButtonStampaPre
message Avviare la stampa?
answer Sì
expect title Opzioni di stampa
click ButtonOK
expect title Anteprima stampa schede fabbricazioni
click ButtonEsporta
text fileNameEdit $tmp/preproduzione.pdf
key fileNameEdit Return
await $tmp/preproduzione.pdf
nomessage
click ButtonChiudi
nomessage
key TabSetLiqPolv Right

# the critical line recomputed for the real active matter: 1,5 % at 30 %
# theoretical and 30,2 % real, on 500 kg
key TabSetLiqPolv Right
rows GridCompCritici 1
wait 1200
expect EditCriticiCodice MP006
expect EditPercentualeAggiornata 1,4901
expect EditQuantitaCalcolata 7,4505
expect EditQuantitaKg 7,525
shot $immagini/fabbricazione_critici.png
key TabSetLiqPolv Right
expect EditAccettabilita pH 12,0 - 13,0
key TabSetLiqPolv Left
key TabSetLiqPolv Left

# the sheet archived, and shown by its viewer
key TabSetLiqPolv Left
click ButtonStorico
message Vuoi creare uno storico per questa fabbricazione?
answer Sì
expect title Scheda Storico fabbricazioni - Ditta: Chimica Demo S.r.l.
expect EditUNITAMISURA Kg
expect EditCODICEFORMULAZIONE 2
expect EditNUMEROCONTENITORI 666,67
shot $immagini/fabbricazione_archiviata.png
click ButtonChiudi
nomessage

# the batches of the same formulation: the demo's and this one
click ButtonFabbricazioniStessaPO
expect title Fabbricazioni stessa formulazione
expect EditCodicePO 2
rows GridFabbric 2
shot $immagini/fabbricazione_stessa_po.png
click ButtonChiudi
nomessage

# the search by date finds it among the demo batches
click ButtonRicerche
text EditRicercaData $oggi
click ButtonRicercaAttivaSel
expect EditSelezione (DATA=$oggi);
rows GridFabbric 1
click ButtonRicercaRitorna
expect EditLotto2 E2E-01

# the packaging page: the lines of the batch's machine, a new one saved with
# its first version, then back to the first page
key TabSetLiqPolv Right
key TabSetLiqPolv Right
key TabSetLiqPolv Right
key TabSetLiqPolv Right
rows GridConfez 4
click ButtonNuovoConfez
enabled TabSetLiqPolv 0
expect EditRiempConfez 1
expect EditNRigaConfez 4
text MemoTestoConfez Controllare l'etichetta del lotto sul primo cartone
click ButtonMemorizzaConfez
nomessage
enabled TabSetLiqPolv 1
rows GridConfez 5
expect EditNRigaConfez2 4
expect MemoTestoConfez2 Controllare l´etichetta del lotto sul primo cartone
wait 700
expect LabelConfezVersione 1
shot $immagini/fabbricazione_confezionamento.png

# the procedure page: the formulation's steps, the highlighted ones ticked
key TabSetLiqPolv Right
rows GridProced 4
row GridProced 2
wait 700
expect EditNRigaProced2 2
expect MemoTestoProced2 Aggiungere lentamente la soda caustica 30% controllando la temperatura.
checked CheckEvidenzaProced2 1
shot $immagini/fabbricazione_procedura.png
click ButtonChiudiProced
expect EditLotto2 E2E-01

# the manufacturing sheet through the preview into PDF: components beside
# the critical line, then packaging beside the procedure
click ButtonStampa
message Avviare la stampa?
answer Sì
expect title Opzioni di stampa
click ButtonOK
expect title Anteprima stampa schede fabbricazioni
shot $immagini/fabbricazione_stampa.png
click ButtonEsporta
text fileNameEdit $tmp/fabbricazione.pdf
key fileNameEdit Return
await $tmp/fabbricazione.pdf
nomessage
click ButtonChiudi
nomessage

click ButtonElimina
message Eliminare il record selezionato?
answer Sì
nomessage

# a batch made from a semi-finished one: the product's semi-finished batches,
# newest first; a product without one is told so
click ButtonRicerche
text EditRicercaData
text EditRicercaCodice FM006
click ButtonRicercaAttivaSel
rows GridFabbric 1
click ButtonRicercaRitorna
click ButtonEdit
checked RadioSemilavorato 1
click ButtonSemilavorato
expect title Ricerca fabbricazioni semilavorato
rows GridFabbricazioni 1
shot $immagini/fabbricazione_semilavorato.png
click ButtonRitorna
expect EditSMCodice SM001
expect EditSMLotto S25020
click ButtonAnnulla
nomessage
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/fabbricazione.txt" || { echo "the manufacturing script failed"; exit 1; }
for f in fabbricazione_editazione.png fabbricazione_materie.png fabbricazione_critici.png \
         fabbricazione_confezionamento.png fabbricazione_archiviata.png fabbricazione_stessa_po.png \
         fabbricazione_semilavorato.png fabbricazione_procedura.png fabbricazione_stampa.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the pre-production sheet shows the lines with their barcodes' serials
[ "$(head -c 5 "$tmp/preproduzione.pdf")" = "%PDF-" ] || { echo "no pre-production PDF"; exit 1; }
command -v pdftotext > /dev/null || { echo "pdftotext is missing (poppler-utils)"; exit 1; }
testo=$(pdftotext -layout "$tmp/preproduzione.pdf" - | tr -s ' \n' ' ')
for parola in "SCHEDA DI PREPRODUZIONE" "E2E-01" "MP004" "MP010" "CONTEST000000"; do
  case "$testo" in
    *"$parola"*) ;;
    *) echo "the pre-production sheet does not show '$parola'"; echo "$testo"; exit 1 ;;
  esac
done

# the manufacturing sheet shows the batch, its lines, its packaging and the
# procedure's steps
[ "$(head -c 5 "$tmp/fabbricazione.pdf")" = "%PDF-" ] || { echo "no manufacturing PDF"; exit 1; }
testo=$(pdftotext -layout "$tmp/fabbricazione.pdf" - | tr -s ' \n' ' ')
for parola in "E2E-01" "Sgrassatore Universale 750 ml" "MP004" "MP006" \
              "etichetta del lotto sul primo cartone" \
              "Aggiungere lentamente la soda caustica"; do
  case "$testo" in
    *"$parola"*) ;;
    *) echo "the manufacturing sheet does not show '$parola'"; echo "$testo"; exit 1 ;;
  esac
done
if command -v pdftoppm > /dev/null; then
  pdftoppm -png -r 60 "$tmp/fabbricazione.pdf" "$immagini/fabbricazione_stampa_pdf"
fi

# the archive: the first version as saved, then the deletion; no lines left
verifica "SELECT VERS, ELIMINAZIONE, CAST(QUANTITALITRI AS INTEGER), UNITAMISURA, \
CAPACITACONTENITORE, RIEMPITRICE, UTENTE FROM STOFABBRIC WHERE LOTTO='E2E-01' ORDER BY VERS" \
  "1 0 500 Kg 3 1 1 2 1 500 Kg 3 1 1"
verifica "SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='E2E-01'" "0"
verifica "SELECT COUNT(*) FROM FABBCOMPON WHERE LOTTOFABBRICAZIONE='E2E-01'" "0"
echo "1 passed, 0 failed"
