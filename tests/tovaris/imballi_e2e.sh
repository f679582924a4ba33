#!/usr/bin/env bash
# The packaging card through the stand-in host, as a user works it: the demo
# bottle shows its main photo and counts the other one, both open enlarged;
# a new item is created (a bad supplier price is refused first and the item
# stays in edit), its final price is computed from the supplier price and the
# additional cost, a photo outside the photos' folder is refused and one
# inside it is filed; the item is found again on the search page and deleted
# with its photos. Pictures of the card, of the photos' page and of the edit
# page go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
foto="$tmp/host/Immagini"

# the demo draws its photos in a user's own case: Flaconi/ic001.jpg
[ -s "$foto/Flaconi/ic001.jpg" ] || { echo "no demo photo Flaconi/ic001.jpg"; exit 1; }
# a picture for the new item inside the photos' folder, one outside it
cp "$foto/Flaconi/ic003.jpg" "$foto/Flaconi/ix900.jpg"
cp "$foto/Flaconi/ic003.jpg" "$tmp/fuori.jpg"
# the folder as the user's parameters name it
cartella="$foto/"

cat > "$tmp/imballi.txt" <<SCRIPT
open ShowImballiFormD 1
expect title Scheda Imballi - Ditta: Chimica Demo S.r.l.

# the first bottle: its main photo, the other one counted, decodes filled
row GridImballi 1
expect EditCodice2 IC001
visible ImmagineImballo 1
visible PanelAltreImmagini 1
expect PanelAltreImmagini Altre 1 img.
wait 1100
expect StaticDescrizioneTipo2 Contenitore
expect StaticDescrizioneFornitore1_2 Plastiche Venete S.r.l.
shot $immagini/scheda_imballi.png

# a double click on the photo shows the main one, enlarged
dblclick PanelNoFoto
visible GridFotoImballi 1
visible GridImballi 0
rows GridFotoImballi 1
visible ImmagineVisFoto 1
shot $immagini/foto_imballo.png
click ButtonVisFotoChiudi
visible GridImballi 1
enabled TabSetImballi 1
expect EditCodice2 IC001

# a click on the other photos' panel lists them all
click PanelAltreImmagini
visible GridFotoImballi 1
rows GridFotoImballi 2
row GridFotoImballi 2
visible ImmagineVisFoto 1
click ButtonVisFotoChiudi
expect EditCodice2 IC001

# an item without photos shows none
row GridImballi 4
expect EditCodice2 IC004
visible ImmagineImballo 0
visible PanelAltreImmagini 0

# a new item: the code first, then its data
click ButtonNuovo
expect title Nuovo imballo
text Edit1 IX900
click OKBtn
expect EditCodice IX900
enabled TabSetImballi 0
text EditNomeImballo Flacone di prova 500 ml
text ComboTipoImballo 1
text EditCodiceFornitore1 F004
wait 1100
expect StaticDescrizioneTipo Contenitore
expect StaticDescrizioneFornitore1 Plastiche Venete S.r.l.
text EditPrezzoFornitore1 1,50x
text EditCostoAggiuntivo 0,25
click ButtonMemorizza
message Specificare un valore numerico valido per "Prezzo Forn.1"
answer OK
nomessage
expect EditCodice IX900
expect EditNomeImballo Flacone di prova 500 ml
expect EditPrezzoFornitore1 1,50x
enabled TabSetImballi 0
text EditPrezzoFornitore1 1,50
key EditPrezzoFornitore1 Return
expect EditCostoImballo1 1,75
# the second final price is computed with the save (no price: 0)
expect EditCostoImballo2
shot $immagini/editazione_imballi.png
click ButtonMemorizza
nomessage
expect EditCodice2 IX900
expect EditNomeImballo2 Flacone di prova 500 ml
expect EditTipoImballo2 1
expect EditCostoImballo1_2 1,75
expect EditCostoImballo2_2 0
enabled TabSetImballi 1
wait 1100
expect StaticDescrizioneFornitore1_2 Plastiche Venete S.r.l.
visible ImmagineImballo 0
# the tabs stay locked while an item is edited, free again once cancelled
click ButtonEdit
expect EditPrezzoFornitore1 1,5
expect EditCostoImballo1 1,75
enabled TabSetImballi 0
enabled GridImballi 0
click ButtonAnnulla
enabled TabSetImballi 1
expect EditCodice2 IX900

# a photo outside the photos' folder is refused
click ButtonAggiungiFoto
expect title Foto
text fileNameEdit $tmp/fuori.jpg
click Open
message Selezionare una foto dentro il percorso: $cartella
answer OK
nomessage
visible ImmagineImballo 0
# one inside it is filed and shown
click ButtonAggiungiFoto
expect title Foto
text fileNameEdit $foto/Flaconi/ix900.jpg
click Open
nomessage
expect EditCodice2 IX900
visible ImmagineImballo 1
visible PanelAltreImmagini 0
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/imballi.txt" || { echo "the packaging script failed"; exit 1; }
for f in scheda_imballi.png foto_imballo.png editazione_imballi.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the final prices as computed: supplier price plus additional cost, and 0
# (not NULL) without a supplier price; the photo filed relative to its folder
verifica "SELECT NOMEIMBALLO, TIPOIMBALLO, CODICEFORNITORE, \
CAST(PREZZOFORNITORE1 AS NUMERIC(9,2)), CAST(COSTOAGGIUNTIVO AS NUMERIC(9,2)), \
CAST(COSTOIMBALLO1 AS NUMERIC(9,2)), COALESCE(CAST(COSTOIMBALLO2 AS NUMERIC(9,2)), -1), \
COALESCE(CAST(COSTOIMBALLO3 AS NUMERIC(9,2)), -1) FROM IMBALLI WHERE CODICE='IX900'" \
  "Flacone di prova 500 ml 1 F004 1.50 0.25 1.75 0.00 0.00"
verifica "SELECT PROGRESSIVO, FOTO FROM FOTOIMBALLI WHERE CODICE='IX900' ORDER BY PROGRESSIVO" \
  "6 FLACONI\\IX900.JPG"
verifica "SELECT COUNT(*) FROM FOTOIMBALLI" "6"

cat > "$tmp/ricerca.txt" <<SCRIPT
open ShowImballiFormD 1
# the search page finds the new item by its name
key TabSetImballi Right
key TabSetImballi Right
visible EditRicercaNomeImballo 1
text EditRicercaNomeImballo prova
click Attiva Selez.
rows GridImballi 1
expect EditRicercaCodice2 IX900
expect EditRicercaNomeImballo2 Flacone di prova 500 ml
visible PanelSelezione 1
expect EditSelezione UPPER(NOMEIMBALLO) LIKE %PROVA%;
click ButtonRicercaRitorna
visible GridImballi 1
expect EditCodice2 IX900
visible ImmagineImballo 1
# the selection stays shown on the first page
visible PanelSelezione 1

# deleted with its photo
click ButtonElimina
message Eliminare il record selezionato?
answer Sì
nomessage
rows GridImballi 0
visible ImmagineImballo 0
click ButtonSelezionaAnnulla
visible PanelSelezione 0
rows GridImballi 19
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/ricerca.txt" || { echo "the search and deletion script failed"; exit 1; }

verifica "SELECT COUNT(*) FROM IMBALLI WHERE CODICE='IX900'" "0"
verifica "SELECT COUNT(*) FROM FOTOIMBALLI WHERE CODICE='IX900'" "0"
# the other items keep theirs
verifica "SELECT COUNT(*) FROM FOTOIMBALLI" "5"
echo "1 passed, 0 failed"
