# Sourced after ospite_prova.sh by the scenarios that check the company
# archive of the host in "$tmp/host" with isql: `sql` runs statements read
# from its input, `righe` gives a query's rows on one line (blanks
# squeezed), `verifica QUERY EXPECTED` stops the scenario when they differ.
isql="${ISQL:-isql-fb}"
archivio="$tmp/host/Dati/QUINTAR.FDB"

sql() {
  "$isql" -q -ch UTF8 -user SYSDBA -password pinecrest "$archivio" 2>&1
}
righe() {
  printf "SET HEADING OFF;\n%s;\n" "$1" | sql | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
verifica() { # QUERY EXPECTED
  local visto
  visto=$(righe "$1")
  [ "$visto" = "$2" ] || { echo "$1"; echo "  gives '$visto'"; echo "  expected '$2'"; exit 1; }
}
