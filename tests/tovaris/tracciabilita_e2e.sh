#!/usr/bin/env bash
# Lot traceability through the stand-in host on the demo, as a quality
# manager works it on the day of a recall: the supplier lot TS24-0981 went
# into the dish-soap batch L25015 (weighed and consumed) and the premix
# S25020, both posted with their host orders, and through the premix into the
# floor-cleaner batch L25036 made from it; then backward from the batch
# L25015 to every lot of its lines; the batch L25041, never weighed, shows
# each line as such; a trace without value is refused.
# Pictures go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

cat > "$tmp/tracciabilita.txt" <<SCRIPT
open ShowTracciabilitaFormX 1
expect title Tracciabilità lotti - Ditta: Chimica Demo S.r.l.
click ButtonTraccia
message Inserire il valore da tracciare
answer OK

text ComboRicerca Lotto fornitore
text EditValore TS24-0981
click ButtonTraccia
nomessage
rows GridTraccia 3
expect LabelEsito 3 fabbricazioni su 2 livelli
shot $immagini/tracciabilita_avanti.png

# the same lot in February only: the premix of January is left out
text EditDal 01/02/2025
click ButtonTraccia
message Nessuna fabbricazione trovata
answer OK
rows GridTraccia 0

text ComboRicerca Fabbricazione (lotto o identificativo)
text EditValore L25015
click ButtonTraccia
nomessage
rows GridTraccia 1
expect LabelEsito 1 fabbricazioni, 0 righe senza pesata
shot $immagini/tracciabilita_indietro.png

text EditValore L25041
key EditValore Return
rows GridTraccia 1
expect LabelEsito 1 fabbricazioni, 5 righe senza pesata
click Chiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/tracciabilita.txt" || { echo "the traceability script failed"; exit 1; }
for f in tracciabilita_avanti.png tracciabilita_indietro.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done
echo "1 passed, 0 failed"
