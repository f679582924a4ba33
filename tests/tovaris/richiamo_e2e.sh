#!/usr/bin/env bash
# A recall through the stand-in host on the demo, three levels deep: the
# supplier lot TS24-0981 went into the premix S25020, a second premix S25032
# weighed that one, and the batches L25034 (committed) and L25041 (to do)
# took the second premix. A user has the commitment screen open with L25041
# chosen while the quality manager traces the lot forward (the tree at three
# levels), holds it with its reason and sees the tree marked; the
# commitment then refuses the batch, naming the hold. Released with a reason,
# the commitment goes through. Pictures go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

sql > /dev/null <<'SQL'
INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, QUANTITALITRI, UNITAMISURA, STATUS, DATAFINE)
  VALUES ('SM002', '2025-02-01', 'S25032', 20, 'Premiscela profumata', 600, 'Kg', 'FINITA', '2025-02-01 16:00:00');
INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, OPERATORE, ID_FABBRICAZIONE,
  BARCODE_LOTTO_MATERIA, CODICEFABBRICAZIONE, DATAFABBRICAZIONE, LOTTOFABBRICAZIONE, CODICEMATERIAPRIMA,
  CODICEFORNITORE, LOTTOMATERIAPRIMA)
  VALUES (100, 'BIL11', '2025-02-01 08:00:00.0000', 'CONTEST00000090', 300, 'Rossi G.', 20, 'IBC0001',
  'SM002', '2025-02-01', 'S25032', 'SM001', NULL, 'S25020');
INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, OPERATORE, ID_FABBRICAZIONE,
  BARCODE_LOTTO_MATERIA, CODICEFABBRICAZIONE, DATAFABBRICAZIONE, LOTTOFABBRICAZIONE, CODICEMATERIAPRIMA,
  CODICEFORNITORE, LOTTOMATERIAPRIMA)
  VALUES (101, 'BIL11', '2025-02-03 09:00:00.0000', 'CONTEST00000011', 40, 'Rossi G.', 3, 'IBC0002',
  'FM003', '2025-02-03', 'L25034', 'SM002', NULL, 'S25032');
INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, CODICECONSUMATO, SERIALE, QUANTITA, LOTTO)
  VALUES (100, 5, 'SM002', 'SM002', 'IBC0003', 50, 'S25032');
COMMIT;
SQL
verifica "SELECT COUNT(*) FROM CONSUMI WHERE LOTTO='S25032'" "1"

cat > "$tmp/richiamo.txt" <<SCRIPT
# the commitment screen, open with L25041 chosen (FM004, first of the list)
open ShowImpFabbrFormX 1
rows GridFabbr 2
row GridFabbr 1
key GridFabbr F3

open ShowTracciabilitaFormX 1
resize 1400 900
text ComboRicerca Lotto fornitore
text EditValore TS24-0981
click ButtonTraccia
nomessage
expect LabelEsito 6 fabbricazioni su 3 livelli
rows GridTraccia 6
shot $immagini/richiamo_albero.png

# the hold needs its reason
click ButtonBlocca
message Indicare il motivo del blocco
answer OK
text EditMotivo Contaminazione segnalata dal fornitore
click ButtonBlocca
message Impostato il blocco n. 1 sul lotto fornitore TS24-0981 (Contaminazione segnalata dal fornitore)
answer OK
rows TreeBlocchi 1
shot $immagini/richiamo_blocco.png

# the screen opened before the hold refuses at the write
activate 1
click ButtonImpegna
message La fabbricazione FM004 del 10/02/2025 lotto L25041 è bloccata: blocco n. 1 sul lotto fornitore TS24-0981 (Contaminazione segnalata dal fornitore)
shot $immagini/richiamo_impegno_rifiutato.png
answer OK
message Impegno non eseguito: nessuna fabbricazione è stata impegnata e nessun ordine è stato creato
answer OK
rows GridFabbr 2

# released with its reason, the commitment goes through
activate 2
row TreeBlocchi 1
text EditMotivo Analisi del lotto conformi
click ButtonRilascia
message Blocco n. 1 rilasciato
answer OK
activate 1
row GridFabbr 1
key GridFabbr F3
click ButtonImpegna
message Completato
answer OK
rows GridFabbr 1
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/richiamo.txt" || { echo "the recall script failed"; exit 1; }
verifica "SELECT STATUS FROM FABBRIC WHERE LOTTO='L25041'" "IMPEGNATA"
verifica "SELECT TIPO || '|' || VALORE || '|' || MOTIVORILASCIO FROM BLOCCHI" "LOTTO|TS24-0981|Analisi del lotto conformi"
for f in richiamo_albero.png richiamo_blocco.png richiamo_impegno_rifiutato.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done
echo "1 passed, 0 failed"
