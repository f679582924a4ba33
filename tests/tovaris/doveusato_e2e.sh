#!/usr/bin/env bash
# Where a raw material is used, through the stand-in host as a user asks it:
# on the raw-materials card of the demo "Dove usato" opens a window listing
# the formulations with the material's percentage, the products made with
# them, the batches still open and the cost sheets of those products; its
# pages show as many rows as the archive holds. Deleting the material tells
# the same counts first, and "No" keeps it. Pictures of the window go to the
# folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

# what the archive says uses MP004
formulazioni=$(righe "SELECT COUNT(DISTINCT CODICEFORMULAZIONE) FROM COMPON WHERE CODICEMATERIAPRIMA='MP004'")
righeformul=$(righe "SELECT COUNT(*) FROM COMPON WHERE CODICEMATERIAPRIMA='MP004'")
prodotti=$(righe "SELECT COUNT(*) FROM PRODOT WHERE CODICEFORMULAZIONE IN \
(SELECT CODICEFORMULAZIONE FROM COMPON WHERE CODICEMATERIAPRIMA='MP004')")
aperte=$(righe "SELECT COUNT(*) FROM FABBRIC F WHERE COALESCE(F.STATUS,'') IN ('','DA FARE','IMPEGNATA') \
AND EXISTS (SELECT 1 FROM FABBCOMPON C WHERE C.CODICEFABBRICAZIONE=F.CODICE AND \
C.DATAFABBRICAZIONE=F.DATA AND C.LOTTOFABBRICAZIONE=F.LOTTO AND C.CODICEMATERIAPRIMA='MP004')")
[ "$formulazioni" -gt 0 ] && [ "$prodotti" -gt 0 ] && [ "$aperte" -gt 0 ] || { echo "the demo has MP004 in no formulation or open batch"; exit 1; }
schede=$(righe "SELECT COUNT(*) FROM COSTI C JOIN PRODOT P ON P.CODICE=C.CODICEPRODOTTO WHERE \
P.CODICEFORMULAZIONE IN (SELECT CODICEFORMULAZIONE FROM COMPON WHERE CODICEMATERIAPRIMA='MP004')")
plurale() { # N ONE MANY
  if [ "$1" = 1 ]; then echo "$1 $2"; else echo "$1 $3"; fi
}
parti=("$(plurale "$formulazioni" formulazione formulazioni)" "$(plurale "$prodotti" prodotto prodotti)")
[ "$schede" = 0 ] || parti+=("$(plurale "$schede" "scheda costo" "schede costo")")
[ "$aperte" = 0 ] || parti+=("$(plurale "$aperte" "fabbricazione aperta" "fabbricazioni aperte")")
elenco="${parti[0]}"
for ((i = 1; i < ${#parti[@]} - 1; i++)); do elenco="$elenco, ${parti[i]}"; done
elenco="$elenco e ${parti[${#parti[@]} - 1]}"
avviso="La materia prima è usata in $elenco: finché resta nelle formulazioni, i loro costi non si \
potranno ricalcolare."

cat > "$tmp/doveusato.txt" <<SCRIPT
open ShowMaterFormD 1
expect title Scheda materie prime - Ditta: Chimica Demo S.r.l.
row GridMater 4
expect EditCodice2 MP004
click ButtonDoveUsato
expect title Dove usato - Materia prima
expect EditCodiceDoveUsato MP004
rows GridFormulazioni $righeformul
rows GridProdotti $prodotti
rows GridFabbricazioni $aperte
rows GridSchedeCosto $schede
shot $immagini/dove_usato_materia.png
key TabBarDoveUsato Right
key TabBarDoveUsato Right
shot $immagini/dove_usato_fabbricazioni.png
# the open batches to a spreadsheet, from the list's menu
menu GridFabbricazioni Esporta in Excel
text fileNameEdit $tmp/fabbricazioni.xlsx
answer Save
awaitmessage Esportazione completata: $aperte righe in $tmp/fabbricazioni.xlsx
answer OK
click ButtonChiudi
nomessage
expect EditCodice2 MP004

click ButtonElimina
message $avviso\r\nEliminare il record selezionato?
answer No
nomessage
expect EditCodice2 MP004
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/doveusato.txt" || { echo "the where-used script failed"; exit 1; }
for f in dove_usato_materia.png dove_usato_fabbricazioni.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done
verifica "SELECT COUNT(*) FROM MATER WHERE CODICE='MP004'" "1"

# the packaging card: the products and open batches packed in IC003, by code
# or, where the code was never filled in, by the item's name
nome=$(righe "SELECT NOMEIMBALLO FROM IMBALLI WHERE CODICE='IC003'")
posti="CODICEIMBALLOCONTENITORE:IMBALLOCONTENITORE CODICEIMBALLOTAPPO:IMBALLOTAPPO \
CODICEIMBALLOETICHETTA:IMBALLOETICHETTA CODICEIMBALLOCARTONE:IMBALLOCARTONE \
CODICEIMBALLOALTRO1:IMBALLOALTRO1 CODICEIMBALLOALTRO2:IMBALLOALTRO2 \
CODICEIMBALLOALTRO3:IMBALLOALTRO3 CODICEIMBALLOALTRO4:IMBALLOALTRO4"
condizione="1=0"
for p in $posti; do
  condizione="$condizione OR ${p%%:*}='IC003' OR (${p%%:*} IS NULL AND ${p##*:}='$nome')"
done
prodotti=$(righe "SELECT COUNT(*) FROM PRODOT WHERE $condizione")
[ "$prodotti" -gt 0 ] || { echo "the demo packs nothing in IC003"; exit 1; }
cat > "$tmp/doveusatoimballo.txt" <<SCRIPT
open ShowImballiFormD 1
row GridImballi 3
expect EditCodice2 IC003
click ButtonDoveUsato
expect title Dove usato - Imballo
expect EditNomeDoveUsato $nome
rows GridProdotti $prodotti
shot $immagini/dove_usato_imballo.png
click ButtonChiudi
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/doveusatoimballo.txt" || { echo "the packaging where-used script failed"; exit 1; }
[ -s "$immagini/dove_usato_imballo.png" ] || { echo "no picture dove_usato_imballo.png"; exit 1; }
# the workbook reads back with a real reader: the batches' lots, the date a date
# (the system's python holds the Debian module; one on PATH may not)
python=""
for p in python3 /usr/bin/python3; do
  if "$p" -c "import openpyxl" 2>/dev/null; then python="$p"; break; fi
done
if [ -n "$python" ]; then
  letto=$("$python" -c "
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
r = list(ws.iter_rows(values_only=True))
t = list(r[0])
print(len(r) - 1, ' '.join(x[t.index('LOTTO')] for x in r[1:]), type(r[1][t.index('DATA')]).__name__)
" "$tmp/fabbricazioni.xlsx") || { echo "the workbook does not read"; exit 1; }
  lotti=$(righe "SELECT F.LOTTO FROM FABBRIC F WHERE COALESCE(F.STATUS,'') IN ('','DA FARE','IMPEGNATA') \
AND EXISTS (SELECT 1 FROM FABBCOMPON C WHERE C.CODICEFABBRICAZIONE=F.CODICE AND \
C.DATAFABBRICAZIONE=F.DATA AND C.LOTTOFABBRICAZIONE=F.LOTTO AND C.CODICEMATERIAPRIMA='MP004') \
ORDER BY F.CODICE, F.DATA, F.LOTTO")
  [ "$letto" = "$aperte $lotti datetime" ] || { echo "the workbook holds '$letto'"; exit 1; }
elif [ -n "${CI:-}" ]; then
  echo "python3-openpyxl is missing"; exit 1
fi
echo "where-used scenario ok"
