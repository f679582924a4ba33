#!/usr/bin/env bash
# The products card through the stand-in host, as a user works it: a new
# product on a demo formulation (its name and ADR data come with it), a
# category, a package and a sales unit, the container, cap, label and carton
# chosen in the packaging search, the divisors; a further item named without
# its code is refused, then taken off. Saved, the consultation page shows the
# packaging unit cost of the demo items and explains it; a second save makes
# a second version, the products of the same formulation list it, its sheet
# is printed to PDF through the preview, and its deletion leaves one last
# version in the history and no product row.
# Pictures of the search, of the edit page and of the consultation page go to
# the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

# A number as the card shows it: a comma, up to four decimals, no trailing zeros.
comeMostrato() {
  sed 's/0*$//; s/\.$//; s/\./,/'
}

# The demo items the search offers for a 750 ml bottle, and what they cost.
costo() { # CODE
  righe "SELECT CAST(COSTOIMBALLO1 AS NUMERIC(12,4)) FROM IMBALLI WHERE CODICE='$1'" | comeMostrato
}
cContenitore=$(costo IC003)
cTappo=$(costo IT003)
cEtichetta=$(costo IE004)
cCartone=$(costo IK003)
# (container + cap + label) / D1 + carton / D2, with D1 = 1 and D2 = 12
atteso=$(righe "SELECT CAST((A.COSTOIMBALLO1 + B.COSTOIMBALLO1 + C.COSTOIMBALLO1) / 1 \
+ D.COSTOIMBALLO1 / 12 AS NUMERIC(12,4)) FROM IMBALLI A, IMBALLI B, IMBALLI C, IMBALLI D \
WHERE A.CODICE='IC003' AND B.CODICE='IT003' AND C.CODICE='IE004' AND D.CODICE='IK003'" | comeMostrato)
[ -n "$atteso" ] && [ -n "$cCartone" ] || { echo "demo packaging items not found"; exit 1; }
pdf="$tmp/scheda_FM900.pdf"

cat > "$tmp/prodotto.txt" <<SCRIPT
open ShowProdottiFormD 1
expect title Scheda prodotti - Ditta: Chimica Demo S.r.l.

# a new product: the code first, then the edit page waits for its data
click ButtonNuovo
expect title Nuovo prodotto
text Edit1 FM900
click OKBtn
nomessage
expect EditCodice FM900
enabled TabSetProdotti 0

# the formulation brings its name and ADR data
key ComboPO 3
expect ComboPO 3
expect StaticDescrizionePO Disincrostante anticalcare
expect StaticSostanzeADR acido fosforico
expect StaticCodiceADR 3264
expect StaticGruppoADR III
wait 600
expect StaticClasseADR 8
expect StaticDescrizioneADR Liquido corrosivo acido, inorganico, n.a.s.
text EditNome Anticalcare Limone 750 ml
text EditDescrizione Disincrostante al limone con trigger, l'anticalcare di prova
text ComboCategoria Bagno
text ComboConfezione FLACONE 750 ML
text ComboUnitaVendita Litro
text EditNumeroPezziImballo 12
text EditD1 1
text EditD2 12

# the container from the search, narrowed to containers, chosen with Enter
click ButtonContenitore
expect title Ricerca Imballi - Ditta: Chimica Demo S.r.l.
expect ComboTipoImballo Contenitore
row GridImballi 3
shot $immagini/prodotto_ricerca_imballi.png
key GridImballi Return
nomessage
expect EditCodiceContenitore IC003
expect EditContenitore Flacone PET 750 ml trasparente
# the cap and the label through their F10 buttons
click ButtonF10Tappo
expect ComboTipoImballo Tappo
row GridImballi 3
key GridImballi Return
expect EditCodiceTappo IT003
expect EditTappo Trigger 28/410 bianco
click ButtonF10Etichetta
expect ComboTipoImballo Etichetta
row GridImballi 4
key GridImballi Return
expect EditCodiceEtichetta IE004
expect EditEtichetta Etichetta Anticalcare
# the carton chosen with a double click, then "Ritorna"
click ButtonCartone
expect ComboTipoImballo Cartone
row GridImballi 3
dblclick GridImballi
expect EditCodiceSel IK003
expect EditDescrizioneSel Cartone 12 flaconi 750 ml
click ButtonRitorna
expect EditCodiceCartone IK003
expect EditCartone Cartone 12 flaconi 750 ml
wait 600
expect EditCostoUnitarioImballo $atteso

# a further item named without a code is refused, and the product stays in edit
text EditAltro1 Sacchetto antigoccia
click ButtonMemorizza
message Attenzione: oltre alla descrizione è necessario indicare anche il codice per "Altro 1"
answer OK
nomessage
expect EditCodice FM900
expect EditAltro1 Sacchetto antigoccia
text EditAltro1
wait 600
expect EditCostoUnitarioImballo $atteso
shot $immagini/prodotto_editazione.png
click ButtonMemorizza
nomessage

# the consultation page: the product as saved, its cost and first version
enabled TabSetProdotti 1
expect EditCodice2 FM900
expect EditNome2 Anticalcare Limone 750 ml
expect EditDescrizione2 Disincrostante al limone con trigger, l´anticalcare di prova
expect EditCategoria2 3
expect EditCategoriaDec2 Bagno
expect EditConfezione2 FLACONE 750 ML
expect EditUnitaVendita2 Litro
expect EditPO2 3
expect EditCodiceADR2 3264
expect EditContenitore2 Flacone PET 750 ml trasparente
expect EditCodiceContenitore2 IC003
expect EditCodiceCartone2 IK003
wait 600
expect StaticDescrizionePO2 Disincrostante anticalcare
expect StaticClasseADR2 8
expect EditCostoUnitarioImballo_2 $atteso
expect LabelVersione 1
shot $immagini/prodotto_consultazione.png

# the cost explained: the formula, then the demo items' costs and the divisors
click ButtonCostoImballo
expect title Costo Contenitore - Ditta: Chimica Demo S.r.l.
expect MemoInfo Costo Contenitore = ([c_contenitore]+[c_tappo]+[c_etichetta])/[d1]+[c_cartone]/[d2]+[c_altro_1]/[d3]+[c_altro_2]/[d4]+[c_altro_3]/[d5]+[c_altro_4]/[d6] =\n($cContenitore + $cTappo + $cEtichetta) / 1 + $cCartone / 12 + 0 / 0 + 0 / 0 + 0 / 0 + 0 / 0 = $atteso
answer OK
nomessage
expect EditCostoUnitarioImballo_2 $atteso

# an edit given up changes nothing; a real change makes the second version
click ButtonEdit
enabled TabSetProdotti 0
text EditNome Nome da non tenere
click ButtonAnnulla
nomessage
enabled TabSetProdotti 1
expect EditNome2 Anticalcare Limone 750 ml
wait 600
expect LabelVersione 1
click ButtonEdit
expect EditNome Anticalcare Limone 750 ml
expect ComboPO 3
expect StaticDescrizionePO Disincrostante anticalcare
expect ComboCategoria Bagno
expect EditCodiceCartone IK003
text EditNumeroPezziImballo 6
click ButtonMemorizza
nomessage
expect EditNumeroPezziImballo2 6
wait 600
expect LabelVersione 2
expect EditCostoUnitarioImballo_2 $atteso

# the products made with the same formulation: the demo one and this one
click ButtonProdottiStessaPO
expect title Prodotti stessa formulazione
expect EditCodicePO 3
expect EditDescrizionePO Disincrostante anticalcare
row GridProdot 2
click ButtonChiudi
nomessage

# the product sheet: the preview, exported to PDF
click ButtonStampa
message Avviare la stampa?
answer Sì
expect title Opzioni di stampa
expect ComboDestinazione Anteprima
click ButtonOK
expect title Anteprima stampa schede prodotti
click ButtonEsporta
text fileNameEdit $pdf
key fileNameEdit Return
await $pdf
nomessage
expect title Anteprima stampa schede prodotti
click ButtonChiudi
nomessage
expect EditCodice2 FM900

click ButtonElimina
message Eliminare il record selezionato?
answer Sì
nomessage
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/prodotto.txt" || { echo "the products script failed"; exit 1; }
for f in prodotto_ricerca_imballi.png prodotto_editazione.png prodotto_consultazione.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the sheet: a PDF naming the product, its category and its packaging
[ -s "$pdf" ] || { echo "no PDF of the product sheet"; exit 1; }
[ "$(head -c 5 "$pdf")" = "%PDF-" ] || { echo "the product sheet is not a PDF"; exit 1; }
command -v pdftotext > /dev/null || { echo "pdftotext is missing (poppler-utils)"; exit 1; }
testo=$(pdftotext -layout "$pdf" - | tr -s ' \n' ' ')
for parola in "FM900" "Anticalcare Limone 750 ml" "Bagno" "Flacone PET 750 ml trasparente"; do
  case "$testo" in
    *"$parola"*) ;;
    *) echo "the product sheet does not show '$parola'"; echo "$testo"; exit 1 ;;
  esac
done

# the archive: version 1 is the empty row before the first save, version 2
# the product as first saved, version 3 the product as deleted
verifica "SELECT VERS, COALESCE(NOME,'-'), COALESCE(CAST(PEZZIPERIMBALLO AS INTEGER),0), \
COALESCE(CODICEIMBALLOCONTENITORE,'-'), COALESCE(CODICEIMBALLOCARTONE,'-'), \
COALESCE(CAST(DIVISORE2 AS INTEGER),0), COALESCE(UTENTE,'-') FROM STOPRODOT WHERE CODICE='FM900' ORDER BY VERS" \
  "1 - 0 - - 0 1 2 Anticalcare Limone 750 ml 12 IC003 IK003 12 1 \
3 Anticalcare Limone 750 ml 6 IC003 IK003 12 1"
verifica "SELECT CODICEFORMULAZIONE, CATEGORIAPRODOTTO, CODICEADR, GRUPPOADR, CONFEZIONEVENDITA, \
UNITAVENDITA, IMBALLOTAPPO, CODICEIMBALLOTAPPO, IMBALLOETICHETTA, CODICEIMBALLOETICHETTA, \
COALESCE(IMBALLOALTRO1,'-'), COALESCE(CODICEIMBALLOALTRO1,'-') FROM STOPRODOT WHERE CODICE='FM900' AND VERS=3" \
  "3 3 3264 III FLACONE 750 ML Litro Trigger 28/410 bianco IT003 Etichetta Anticalcare IE004 - -"
verifica "SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM900'" "0"
# the other products of the formulation are untouched
verifica "SELECT CODICE FROM PRODOT WHERE CODICEFORMULAZIONE=3 ORDER BY CODICE" "FM004"
echo "1 passed, 0 failed"
