#!/usr/bin/env bash
# Commitment and posting through the stand-in host, as a user works them: the
# two demo batches "DA FARE" chosen (F3, double click) and committed, each
# becoming an order of the commitment line with its lot and the materials of
# its formulation; then one of them and the batch the demo left committed are
# posted: production records, batches "FINITA", orders moved to the customer
# of handled orders. The warehouse routine is called once per order at each
# step and sees each order as committed, before it moves. Pictures of the two
# lists go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
erp() { archivio="$tmp/host/Dati/TOVARIS.FDB" righe "$1"; }
verifica_erp() { # QUERY EXPECTED
  local visto
  visto=$(erp "$1")
  [ "$visto" = "$2" ] || { echo "$1"; echo "  gives '$visto'"; echo "  expected '$2'"; exit 1; }
}

cat > "$tmp/impegno.txt" <<SCRIPT
open ShowImpFabbrFormX 1
expect title ImpegnoFabbricazioniForm Chimica Demo S.r.l.
expect LabelTitolo Selezionare le fabbricazioni da impegnare (F3 o doppio click per selezionare / deselezionare):
expect EditCliente IMPPROD
expect EditLinea IMP
expect EditTipoDocumento OC
# FM004 and FM005, in the list's order
rows GridFabbr 2
row GridFabbr 1
key GridFabbr F3
row GridFabbr 2
dblclick GridFabbr
shot $immagini/impegno_scelte.png
click ButtonImpegna
message Completato
answer OK
rows GridFabbr 0
click ButtonChiudi

open ShowProdFabbrFormX 1
expect title ProduzioneFabbricazioniForm Chimica Demo S.r.l.
expect LabelTitolo Selezionare le fabbricazioni da produrre (F3 o doppio click per selezionare / deselezionare):
expect EditClienteGestito PRODGEST
# FM003 (the demo's), FM004, FM005: the first two are posted
rows GridFabbr 3
row GridFabbr 2
key GridFabbr F3
row GridFabbr 1
key GridFabbr F3
row GridFabbr 3
shot $immagini/produzione_scelte.png
click ButtonProduci
message Completato
answer OK
rows GridFabbr 1
shot $immagini/produzione_dopo.png
click ButtonChiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/impegno.txt" || { echo "the commitment script failed"; exit 1; }
for f in impegno_scelte.png produzione_scelte.png produzione_dopo.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# the batches and their orders (the demo's generator stands one past order 5)
verifica "SELECT CODICE, STATUS, IDORDINEIMPMAT, OPERATOREIMPEGNO, OPERATOREFINE FROM FABBRIC \
WHERE CODICE IN ('FM003','FM004','FM005') ORDER BY CODICE" \
  "FM003 FINITA 3 2 1 FM004 FINITA 7 1 1 FM005 IMPEGNATA 8 1 <null>"
verifica_erp "SELECT ID, LINEA, NDOCUMENTO, DATADOCUMENTO, TIPODOCUMENTO, OPERATORE, CODICECLIENTE \
FROM ORDC WHERE ID IN (3, 7, 8) ORDER BY ID" \
  "3 IMP L25034 2025-02-03 OC 2 PRODGEST 7 IMP L25041 2025-02-10 OC 1 PRODGEST \
8 IMP L25043 2025-02-12 OC 1 IMPPROD"
verifica_erp "SELECT CODICEDOCUMENTO, NRIGA, CODICEARTICOLO, CAST(QUANTITAINCIFRE AS INTEGER) \
FROM RIGHEORDC WHERE CODICEDOCUMENTO = 8 ORDER BY NRIGA" \
  "8 1 MP017 1 8 2 MP006 1 8 3 MP010 1"
verifica_erp "SELECT COUNT(*) FROM RIGHEORDC WHERE CODICEDOCUMENTO = 7" "5"
# the production records, in the order the batches were chosen
verifica_erp "SELECT S.CODICE, S.DATA, R.NRIGA, R.ARTICOLO, CAST(R.QUANTITARICHIESTA AS INTEGER), \
CAST(R.QUANTITAPRODOTTA AS INTEGER) FROM STOPRODUZ S JOIN RSTOPRODUZ R ON R.CODICEPRODUZ = S.CODICE \
WHERE S.CODICE > 2 ORDER BY S.CODICE" \
  "4 2025-02-10 1 FM004 800 800 5 2025-02-03 1 FM003 1500 1500"
verifica_erp "SELECT TITOLO FROM STOPRODUZ WHERE CODICE = 5" "Sgrassatore Universale 750 ml"
# the routine: after the commitment once per order, after the posting once
# per posted order, each seeing the order before it moved
verifica_erp "SELECT IDORDINE, UTENTE, FLAG, CODICECLIENTE, RIGHE FROM TOVARELAB_CHIAMATE \
WHERE ID > 5 ORDER BY ID" \
  "7 1 1 IMPPROD 5 8 1 1 IMPPROD 3 7 1 1 IMPPROD 5 3 1 1 IMPPROD 5"
echo "1 passed, 0 failed"
