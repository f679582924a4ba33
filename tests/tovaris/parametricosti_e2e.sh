#!/usr/bin/env bash
# The two settings of the costs through the stand-in host, as a user works
# them: the cost parameters refuse a number written with a point, store
# 1,5 as 1.5 and an emptied coefficient as 0; the softened water is chosen
# through the raw-materials look-up, decoded a second after it is typed,
# and a code the archive lacks is refused.
# A picture of each screen goes to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

cat > "$tmp/parametri.txt" <<SCRIPT
open ShowCParFormD 1
expect title Impostazioni parametri costi - Ditta: Chimica Demo S.r.l.
expect EditCostoTempo 32
expect EditCoeffRicarico 1,6
expect EditCoeffSconto 0,9
text EditCoeffRicarico 1.5
text EditCostoTempo 3x
click ButtonOk
message Attenzione: specificare un valore valido per "Costo Tempo"
answer OK
text EditCostoTempo 33,5
click ButtonOk
message Attenzione: specificare un valore valido per "Coeff. Ricarico"
answer OK
text EditCoeffRicarico 1,5
text EditCoeffSconto
shot $immagini/parametri_costi.png
click ButtonOk
nomessage

open ShowPrAcquaFormD 1
expect title Impostazioni prezzo acqua addolcita - Ditta: Chimica Demo S.r.l.
expect EditCodAcqua MP001
wait 1200
expect EditDescrizione Acqua addolcita
expect EditPrezzo 0,004
text EditCodAcqua MP999
wait 1200
expect EditDescrizione
click ButtonOk
message Attenzione: il codice impostato non è presente in archivio
answer OK
click ButtonCodAcqua
expect title Scheda materie prime - Ditta: Chimica Demo S.r.l.
text EditRicercaDescrizione lauril
click ButtonRicercaAttivaSel
click ButtonRicercaRitorna
expect EditCodAcqua MP002
wait 1200
expect EditDescrizione Sodio lauriletere solfato 70%
expect EditPrezzo 1,85
shot $immagini/acqua_addolcita.png
click ButtonOk
nomessage
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/parametri.txt" || { echo "the settings script failed"; exit 1; }
for f in parametri_costi.png acqua_addolcita.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

verifica "SELECT COUNT(*) FROM CPAR" "1"
verifica "SELECT CAST(COSTOTEMPO AS NUMERIC(9,2)), CAST(COEFFRICARICO AS NUMERIC(9,2)), \
CAST(COEFFSCONTO AS NUMERIC(9,2)), CAST(COEFFAGENTE AS NUMERIC(9,2)) FROM CPAR" "33.50 1.50 0.00 1.10"
verifica "SELECT CODICEMATERIAPRIMA FROM PRACQUA" "MP002"
