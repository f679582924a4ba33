#!/usr/bin/env bash
# The weighing monitor through the stand-in host, as an operator works it
# while the station weighs: two weighings of a new scale arriving together
# are listed as open and wrong; a package of another material is refused and
# the weighing stays open; the right package assigns it; a weighing without
# weight is refused; a wrong weighing is cancelled through "Modifica
# status"; closed and cancelled weighings are hidden; two monitors of one
# host assign the same weighing and only the first succeeds; the weighing
# history lists the assignments. The archives hold what the screens showed.
# Pictures go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
pesate="$tmp/host/Dati/PESATE.FDB"
pesate_righe() { # QUERY: its rows on one line, from the weighing archive
  printf "SET HEADING OFF;\n%s;\n" "$1" |
    "$isql" -q -ch UTF8 -user SYSDBA -password pinecrest "$pesate" 2>&1 | tr -s ' \n' ' ' |
    sed 's/^ //; s/ $//'
}
# a poll every 200 ms, so that the waits below stay short
echo "UPDATE TABX SET TESTO='200' WHERE NOME='TempoPollingPesate'; COMMIT;" | sql > /dev/null

cat > "$tmp/pesate.txt" <<SCRIPT
open ShowIdPesateFormX 1
expect title Identificazione pesate - Ditta: Chimica Demo S.r.l.
rows GridPesate 20
visible ImageVintel 1
shot $immagini/pesate_elenco.png

# the station weighs twice on a new scale before the next poll
weigh B1 CONTEST00000018 2,05 Bianchi --count 2
wait 700
rows GridPesate 22

# row 7 is the open weighing of line 1 of batch FM004 (MP008): a package of
# citric acid (MP007) is refused, the field emptied, the weighing still open
row GridPesate 7
text EditBarcodeLottoMateria SR250015
key EditBarcodeLottoMateria Return
message Il seriale lotto fa riferimento ad una materia prima non compatibile con il barcode contest
answer OK
expect EditBarcodeLottoMateria
text EditBarcodeLottoMateria SR250013
key EditBarcodeLottoMateria Return
nomessage
expect EditBarcodeLottoMateria
shot $immagini/pesate_assegnata.png

# a weighing without weight cannot be assigned
weigh BIL03 CONTEST00000018 0 Bianchi
wait 700
rows GridPesate 23
row GridPesate 1
text EditBarcodeLottoMateria SR250005
key EditBarcodeLottoMateria Return
message La pesata corrente non contiene un valore
answer OK

# the second weighing of B1 arrived wrong: cancelled by hand
row GridPesate 2
menu GridPesate Modifica status
expect title Modifica status
expect ComboStatus ERRORE
shot $immagini/pesate_status.png
text ComboStatus ANNULLATA
click OK
nomessage
click CheckNoAnnullate
click CheckNoChiuse
rows GridPesate 5
shot $immagini/pesate_nascoste.png
click CheckNoAnnullate
click CheckNoChiuse
rows GridPesate 23

# a second monitor in the same host; both select the open weighing of BIL02
open ShowIdPesateFormX 1
rows GridPesate 23
row GridPesate 6
activate 1
row GridPesate 6
text EditBarcodeLottoMateria SR250023
key EditBarcodeLottoMateria Return
nomessage
activate 2
text EditBarcodeLottoMateria SR250024
key EditBarcodeLottoMateria Return
message La pesata corrente non è aperta
answer OK
shot $immagini/pesate_secondo_monitor.png
close
activate 1
close

open ShowStoPesateFormX 1
expect title Storico pesate fabbricazioni - Ditta: Chimica Demo S.r.l.
rows GridPesateFabbr 17
shot $immagini/pesate_storico.png
click Chiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/pesate.txt" || { echo "the weighing monitor script failed"; exit 1; }
for f in pesate_elenco.png pesate_assegnata.png pesate_status.png pesate_nascoste.png \
         pesate_secondo_monitor.png pesate_storico.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the weighings as the station wrote them and the monitors classified them
[ "$(pesate_righe "SELECT NOTE FROM PESATE WHERE BILANCIA='B1' ORDER BY DATA_ORA")" = "APERTA ANNULLATA" ] ||
  { echo "B1: $(pesate_righe "SELECT NOTE FROM PESATE WHERE BILANCIA='B1' ORDER BY DATA_ORA")"; exit 1; }
[ "$(pesate_righe "SELECT NOTE FROM PESATE WHERE BARCODE IN ('CONTEST00000016', 'CONTEST00000019') ORDER BY BARCODE")" = "CHIUSA CHIUSA" ] ||
  { echo "the assigned weighings are not closed"; exit 1; }
[ "$(pesate_righe "SELECT NOTE FROM PESATE WHERE BILANCIA='BIL03' AND PESO=0")" = "APERTA" ] ||
  { echo "the weighing without weight is not left open"; exit 1; }
# one history row each, the right packages, the weights on the lines
verifica "SELECT BARCODE, BARCODE_LOTTO_MATERIA, LOTTOMATERIAPRIMA FROM PESATE_FABBR WHERE ID_FABBRICAZIONE=5 ORDER BY ID" \
  "CONTEST00000016 SR250013 CH25-0040 CONTEST00000019 SR250023 AL24-081"
verifica "SELECT CAST(PESATA * 100 AS INTEGER) FROM FABBCOMPON WHERE SERIALE IN ('CONTEST00000016', 'CONTEST00000019') ORDER BY SERIALE" \
  "13210 176"
echo "1 passed, 0 failed"
