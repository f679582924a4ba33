#!/usr/bin/env bash
# The script actions a tester drives the supplier card with: ordering by the
# grid's column titles (one column, several with Ctrl, by title or field
# name), the grid's popup menu, check boxes and radio buttons of the search
# dialog, moving and resizing the card (kept for the next opening), texts of
# several lines, and no message box left open. Each wrong expectation is
# reported with its line and what the screen shows; a state other than 0 or
# 1 is reported as an error of the script.
. "$(dirname "$0")/config_comune.sh"

cat > "$tmp/verbi.txt" <<'SCRIPT'
open ShowFornitoFormX 1
row GridFornito 1
expect EditCodice2 F001

# a click on a title does not order; a double click does, again reverses
header GridFornito RAGSOC
row GridFornito 1
expect EditCodice2 F001
dblheader GridFornito RAGSOC
row GridFornito 1
expect EditCodice2 F003
row GridFornito 2
expect EditCodice2 F005
# the field name, whatever the case, names the column too
dblheader GridFornito ragsoc
row GridFornito 1
expect EditCodice2 F002

# several columns: every supplier is in Italia, the company name decides
dblheader GridFornito NAZIONE
row GridFornito 1
expect EditCodice2 F001
dblheader GridFornito Ctrl+RAGSOC
row GridFornito 1
expect EditCodice2 F003
dblheader GridFornito Ctrl+RAGSOC
row GridFornito 1
expect EditCodice2 F002
row GridFornito 7
expect EditCodice2 F003

# back to one column
dblheader GridFornito CODICE
dblheader GridFornito CODICE
row GridFornito 1
expect EditCodice2 F007

# "Aspetto Base" asks first; Cancel keeps the order
menu GridFornito Personalizza Griglia
expect title Personalizzazione Griglia
click Aspetto Base
expect title Avviso
click Cancel
expect title Personalizzazione Griglia
click ButtonChiudi
row GridFornito 1
expect EditCodice2 F007
dblheader GridFornito CODICE
row GridFornito 1
expect EditCodice2 F001

# the search dialog from the menu, its options as it opens
row GridFornito 1
menu GridFornito Ricerca su campo Corrente
expect title Ricerca su CODICE
checked EditUpper 1
checked EditGenerica 0
checked EditTipoRicerca/Voce0 1
checked LIKE %% 0
checked EditOrdinamento/Voce1 1
checked Cresc. 1
checked Decres. 0
text EditStringa F005
key EditStringa Return
expect EditCodice2 F005
menu GridFornito Annulla ricerca
row GridFornito 7
expect EditCodice2 F007

# the card where the user leaves it, also next time
move 30 40
resize 700 500
expect position 30 40
expect size 700 500

# a company name on two lines
row GridFornito 1
click ButtonEdit
text MemoRagSoc Chimitalia\nS.p.A.
click Memorizza
expect MemoRagSoc2 Chimitalia\nS.p.A.
nomessage
close
open ShowFornitoFormX 1
expect position 30 40
expect size 700 500
expect EditCodice2 F001
expect MemoRagSoc2 Chimitalia\nS.p.A.

# the warning is up until answered
click ButtonEdit
close
message Memorizzare o annullare le modifiche in corso prima di chiudere la finestra
answer OK
nomessage
text MemoRagSoc Chimitalia S.p.A.
click ButtonMemorizza
expect MemoRagSoc2 Chimitalia S.p.A.
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/verbi.txt" 2> "$tmp/err.txt" ||
  { echo "the script of the new actions failed:"; grep -v "^This plugin\|XDG_RUNTIME" "$tmp/err.txt"; exit 1; }

# wrong expectations: each one reported with its line
cat > "$tmp/sbagliato.txt" <<'SCRIPT'
open ShowFornitoFormX 1
click ButtonEdit
close
message Memorizzare o annullare\nle modifiche
nomessage
answer OK
click ButtonAnnulla
checked ButtonEdit 1
header GridFornito NESSUNA
menu GridFornito Ricerca su chiave
move dieci 10
menu GridFornito Ricerca su campo Corrente
checked EditUpper 0
checked Decres. 1
checked EditUpper yes
enabled EditUpper true
visible Decres. 2
key EditStringa Escape
close
SCRIPT
if "$tovaris" script "$tmp/host" "$tmp/sbagliato.txt" 2> "$tmp/err.txt"; then
  echo "a script with wrong expectations must fail"; exit 1
fi
falliti=0
while IFS= read -r atteso; do
  grep -qF -- "$atteso" "$tmp/err.txt" || { echo "not reported: $atteso"; falliti=$((falliti + 1)); }
done <<'ATTESI'
riga 4: il messaggio dice 'Memorizzare o annullare le modifiche in corso prima di chiudere la finestra', atteso 'Memorizzare o annullare\nle modifiche'
riga 5: è aperto il messaggio 'Memorizzare o annullare le modifiche in corso prima di chiudere la finestra'
riga 8: 'ButtonEdit' non è una casella né un pulsante di opzione
riga 9: 'GridFornito' non ha la colonna 'NESSUNA'
riga 10: il menu di 'GridFornito' non ha la voce 'Ricerca su chiave' (voci: Ricerca su campo Corrente, Annulla ricerca, Query, Dimezza larghezza colonna, Personalizza Griglia, Esporta in Excel)
riga 11: 'move' vuole due numeri
riga 13: 'EditUpper' è spuntato
riga 14: 'Decres.' non è spuntato
riga 15: 'checked' vuole 0 o 1 come ultima parola, non 'yes'
riga 16: 'enabled' vuole 0 o 1 come ultima parola, non 'true'
riga 17: 'visible' vuole 0 o 1 come ultima parola, non '2'
11 verifiche fallite
ATTESI
if [ "$falliti" -gt 0 ]; then
  grep -v "^This plugin\|XDG_RUNTIME" "$tmp/err.txt"
  exit 1
fi
echo "1 passed, 0 failed"
