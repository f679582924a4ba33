#!/usr/bin/env bash
# Builds the four databases (user, company, erp, weighing) from scratch with the
# embedded engine, loads each DDL file followed by its demo file, then checks that
# the demo data hang together (references between tables and between archives,
# generators past the highest keys).
#
# Usage: schema/check.sh [work-dir]     (default: a new temporary directory)
# Exit status: 0 when everything loads and every check passes, 1 otherwise.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="${1:-$(mktemp -d)}"
mkdir -p "$work" || exit 1
work="$(cd "$work" && pwd)"
isql="${ISQL:-isql-fb}"
user='SYSDBA'
password='pinecrest'
failed=0

# run_sql <database file> <script file> <output file>: fails on any error
run_sql() {
    local out="$3"
    if ! "$isql" -q -ch UTF8 -bail -user "$user" -password "$password" "$1" -i "$2" >"$out" 2>"$out.err"; then
        cat "$out.err" >&2
        return 1
    fi
    if [ -s "$out.err" ]; then
        cat "$out.err" >&2
        return 1
    fi
}

for db in user company erp weighing; do
    fdb="$work/$db.fdb"
    script="$work/$db.sql"
    rm -f "$fdb"
    printf "CREATE DATABASE '%s' USER '%s' PASSWORD '%s' PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1252;\n" \
        "$fdb" "$user" "$password" >"$script"
    cat "$here/$db.sql" "$here/demo/$db.sql" >>"$script"
    if "$isql" -q -ch UTF8 -bail -i "$script" >"$work/$db.out" 2>"$work/$db.err" && [ ! -s "$work/$db.err" ]; then
        echo "ok    $db: schema and demo data loaded"
    else
        echo "FAIL  $db: loading $db.sql and demo/$db.sql" >&2
        cat "$work/$db.err" >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] || exit 1

# Each check prints its name and the number of offending rows; any number but 0 fails.
run_checks() {
    local db="$1" checks="$work/$1-checks.sql"
    { echo "SET HEADING OFF;"; cat; } >"$checks"
    run_sql "$work/$db.fdb" "$checks" "$work/$db-checks.out" || { failed=1; return; }
    while read -r name count; do
        [ -z "$name" ] && continue
        if [ "$count" = "0" ]; then
            echo "ok    $db: $name"
        else
            echo "FAIL  $db: $name ($count)" >&2
            failed=1
        fi
    done <"$work/$db-checks.out"
}

run_checks user <<'SQL'
SELECT 'users_with_unknown_profile', COUNT(*) FROM UTENTI U WHERE U.PROFILOSICUREZZA IS NOT NULL AND NOT EXISTS (SELECT 1 FROM PROFILI P WHERE P.CODICE = U.PROFILOSICUREZZA);
SELECT 'readonly_user_OSPITE_missing', 1 - COUNT(*) FROM UTENTI U JOIN PROFILI P ON P.CODICE = U.PROFILOSICUREZZA WHERE U.NOMEUTENTE = 'OSPITE' AND P.LIVELLOPREDEFINITO = 2;
SELECT 'full_rights_users_read_only', COUNT(*) FROM UTENTI U JOIN PROFILI P ON P.CODICE = U.PROFILOSICUREZZA WHERE U.NOMEUTENTE <> 'OSPITE' AND P.LIVELLOPREDEFINITO = 2;
SQL

run_checks company <<'SQL'
SELECT 'formulations_over_100_percent', COUNT(*) FROM (SELECT CODICEFORMULAZIONE FROM COMPON GROUP BY CODICEFORMULAZIONE HAVING SUM(PERCENTUALE) > 100);
SELECT 'components_of_unknown_formulations', COUNT(*) FROM COMPON C WHERE NOT EXISTS (SELECT 1 FROM FORMUL F WHERE F.CODICE = C.CODICEFORMULAZIONE);
SELECT 'components_with_unknown_material', COUNT(*) FROM COMPON C WHERE NOT EXISTS (SELECT 1 FROM MATER M WHERE M.CODICE = C.CODICEMATERIAPRIMA);
SELECT 'formulations_without_procedure', COUNT(*) FROM FORMUL F WHERE NOT EXISTS (SELECT 1 FROM PROCED P WHERE P.CODICEFORMULAZIONE = F.CODICE);
SELECT 'materials_with_unknown_category', COUNT(*) FROM MATER M WHERE M.CODICECATEGORIAMP IS NOT NULL AND NOT EXISTS (SELECT 1 FROM CATEGMP C WHERE C.CODICE = M.CODICECATEGORIAMP);
SELECT 'materials_with_unknown_supplier', COUNT(*) FROM MATER M WHERE M.CODICEFORNITORE IS NOT NULL AND NOT EXISTS (SELECT 1 FROM FORNITO F WHERE F.CODICE = M.CODICEFORNITORE);
SELECT 'materials_with_unknown_adr_code', COUNT(*) FROM MATER M WHERE M.CODICEADR IS NOT NULL AND NOT EXISTS (SELECT 1 FROM ADR2017 A WHERE A.CODICE = M.CODICEADR);
SELECT 'materials_with_unknown_hazard_symbol', COUNT(*) FROM MATER M WHERE M.SIMBOLOGIARISCHIO IS NOT NULL AND NOT EXISTS (SELECT 1 FROM SRISCHI S WHERE S.DESCRIZIONE = M.SIMBOLOGIARISCHIO);
SELECT 'materials_with_unknown_analogue', COUNT(*) FROM MATER M WHERE M.CODICEANALOGO IS NOT NULL AND NOT EXISTS (SELECT 1 FROM MATER R WHERE R.CODICE = M.CODICEANALOGO);
SELECT 'packaging_types_not_the_four', ABS(COUNT(*) - 4) + 4 - SUM(CASE WHEN (CODICE = 1 AND DESCRIZIONE = 'Contenitore') OR (CODICE = 2 AND DESCRIZIONE = 'Tappo') OR (CODICE = 3 AND DESCRIZIONE = 'Cartone') OR (CODICE = 4 AND DESCRIZIONE = 'Etichetta') THEN 1 ELSE 0 END) FROM TPIMBA;
SELECT 'packaging_with_unknown_type', COUNT(*) FROM IMBALLI I WHERE NOT EXISTS (SELECT 1 FROM TPIMBA T WHERE T.CODICE = I.TIPOIMBALLO);
SELECT 'packaging_final_price_mismatch', COUNT(*) FROM IMBALLI WHERE ABS(COALESCE(COSTOIMBALLO1, 0) - (COALESCE(PREZZOFORNITORE1, 0) + COALESCE(COSTOAGGIUNTIVO, 0))) > 0.000001;
SELECT 'products_with_unknown_formulation', COUNT(*) FROM PRODOT P WHERE NOT EXISTS (SELECT 1 FROM FORMUL F WHERE F.CODICE = P.CODICEFORMULAZIONE);
SELECT 'products_with_unknown_category', COUNT(*) FROM PRODOT P WHERE P.CATEGORIAPRODOTTO IS NOT NULL AND NOT EXISTS (SELECT 1 FROM CATEGPR C WHERE C.CODICE = P.CATEGORIAPRODOTTO);
SELECT 'products_with_unknown_sales_package', COUNT(*) FROM PRODOT P WHERE NOT EXISTS (SELECT 1 FROM CAPCON1 C WHERE C.DESCRIZIONE = P.CONFEZIONEVENDITA AND C.CODICE = P.CODICECAPACITACONFEZIONE);
SELECT 'product_containers_not_matching', COUNT(*) FROM PRODOT P WHERE P.CODICEIMBALLOCONTENITORE IS NOT NULL AND NOT EXISTS (SELECT 1 FROM IMBALLI I WHERE I.CODICE = P.CODICEIMBALLOCONTENITORE AND I.NOMEIMBALLO = P.IMBALLOCONTENITORE AND I.TIPOIMBALLO = '1');
SELECT 'product_caps_not_matching', COUNT(*) FROM PRODOT P WHERE P.CODICEIMBALLOTAPPO IS NOT NULL AND NOT EXISTS (SELECT 1 FROM IMBALLI I WHERE I.CODICE = P.CODICEIMBALLOTAPPO AND I.NOMEIMBALLO = P.IMBALLOTAPPO AND I.TIPOIMBALLO = '2');
SELECT 'product_cartons_not_matching', COUNT(*) FROM PRODOT P WHERE P.CODICEIMBALLOCARTONE IS NOT NULL AND NOT EXISTS (SELECT 1 FROM IMBALLI I WHERE I.CODICE = P.CODICEIMBALLOCARTONE AND I.NOMEIMBALLO = P.IMBALLOCARTONE AND I.TIPOIMBALLO = '3');
SELECT 'product_labels_not_matching', COUNT(*) FROM PRODOT P WHERE P.CODICEIMBALLOETICHETTA IS NOT NULL AND NOT EXISTS (SELECT 1 FROM IMBALLI I WHERE I.CODICE = P.CODICEIMBALLOETICHETTA AND I.NOMEIMBALLO = P.IMBALLOETICHETTA AND I.TIPOIMBALLO = '4');
SELECT 'batches_of_unknown_products', COUNT(*) FROM FABBRIC B WHERE NOT EXISTS (SELECT 1 FROM PRODOT P WHERE P.CODICE = B.CODICE);
SELECT 'batches_with_unknown_status', COUNT(*) FROM FABBRIC WHERE STATUS IS NOT NULL AND STATUS NOT IN ('DA FARE', 'ESCLUSA', 'IMPEGNATA', 'FINITA');
SELECT 'batch_states_missing', 5 - COUNT(DISTINCT COALESCE(STATUS, '(vuoto)')) FROM FABBRIC;
-- finished batches converted from the older archive wait for their number
SELECT 'unfinished_batches_without_number', COUNT(*) FROM FABBRIC WHERE ID IS NULL AND STATUS IS DISTINCT FROM 'FINITA';
SELECT 'no_batch_left_to_number', 1 - SIGN(COUNT(*)) FROM FABBRIC WHERE ID IS NULL;
SELECT 'batches_with_unknown_capacity_or_machine', COUNT(*) FROM FABBRIC B WHERE NOT EXISTS (SELECT 1 FROM CAPCONF C WHERE C.CODICE = B.CAPACITACONTENITORE) OR NOT EXISTS (SELECT 1 FROM RIEMPIT R WHERE R.CODICE = B.RIEMPITRICE);
SELECT 'batch_lines_not_copied_from_formulation', COUNT(*) FROM FABBCOMPON L JOIN FABBRIC B ON B.CODICE = L.CODICEFABBRICAZIONE AND B.DATA = L.DATAFABBRICAZIONE AND B.LOTTO = L.LOTTOFABBRICAZIONE JOIN PRODOT P ON P.CODICE = B.CODICE WHERE NOT EXISTS (SELECT 1 FROM COMPON C WHERE C.CODICEFORMULAZIONE = P.CODICEFORMULAZIONE AND C.NRIGA = L.NRIGA AND C.CODICEMATERIAPRIMA = L.CODICEMATERIAPRIMA AND C.PERCENTUALE = L.PERCENTUALE);
SELECT 'batches_missing_formulation_lines', COUNT(*) FROM FABBRIC B JOIN PRODOT P ON P.CODICE = B.CODICE JOIN COMPON C ON C.CODICEFORMULAZIONE = P.CODICEFORMULAZIONE WHERE NOT EXISTS (SELECT 1 FROM FABBCOMPON L WHERE L.CODICEFABBRICAZIONE = B.CODICE AND L.DATAFABBRICAZIONE = B.DATA AND L.LOTTOFABBRICAZIONE = B.LOTTO AND L.NRIGA = C.NRIGA);
SELECT 'badly_formed_contest_barcodes', COUNT(*) FROM FABBCOMPON WHERE SERIALE IS NOT NULL AND (CHAR_LENGTH(SERIALE) <> 15 OR SERIALE NOT STARTING WITH 'CONTEST');
SELECT 'duplicate_contest_barcodes', COUNT(*) FROM (SELECT SERIALE FROM FABBCOMPON WHERE SERIALE IS NOT NULL GROUP BY SERIALE HAVING COUNT(*) > 1);
SELECT 'weighing_history_without_batch_line', COUNT(*) FROM PESATE_FABBR W WHERE NOT EXISTS (SELECT 1 FROM FABBCOMPON L JOIN FABBRIC B ON B.CODICE = L.CODICEFABBRICAZIONE AND B.DATA = L.DATAFABBRICAZIONE AND B.LOTTO = L.LOTTOFABBRICAZIONE WHERE L.SERIALE = W.BARCODE AND B.ID = W.ID_FABBRICAZIONE AND L.CODICEMATERIAPRIMA = W.CODICEMATERIAPRIMA AND L.PESATA = W.PESO);
SELECT 'consumptions_without_batch_line', COUNT(*) FROM CONSUMI C WHERE NOT EXISTS (SELECT 1 FROM FABBRIC B JOIN FABBCOMPON L ON B.CODICE = L.CODICEFABBRICAZIONE AND B.DATA = L.DATAFABBRICAZIONE AND B.LOTTO = L.LOTTOFABBRICAZIONE WHERE B.ID = C.ID_FABBRICAZIONE AND L.CODICEMATERIAPRIMA = C.CODICEMATERIA);
SELECT 'semi_finished_origin_unknown', COUNT(*) FROM FABBRIC B WHERE B.FABBRICAZIONEDA = 'SM' AND NOT EXISTS (SELECT 1 FROM FABBRIC S WHERE S.CODICE = B.FABBRICAZIONEDA_CODICE AND S.DATA = B.FABBRICAZIONEDA_DATA AND S.LOTTO = B.FABBRICAZIONEDA_LOTTO);
SELECT 'archived_flag_without_sheet', COUNT(*) FROM FABBRIC B WHERE (B.STORICOAGGIORNATO = '1') <> EXISTS (SELECT 1 FROM STOFAB S WHERE S.CODICE = B.CODICE AND S.DATA = B.DATA AND S.LOTTO = B.LOTTO);
SELECT 'procedures_of_unknown_machines', COUNT(*) FROM CONFEZ C WHERE NOT EXISTS (SELECT 1 FROM RIEMPIT R WHERE R.CODICE = C.CODICERIEMPITRICE);
SELECT 'cost_sheets_of_unknown_products', COUNT(*) FROM COSTI C WHERE NOT EXISTS (SELECT 1 FROM PRODOT P WHERE P.CODICE = C.CODICEPRODOTTO);
SELECT 'cost_parameters_not_one_row', ABS(COUNT(*) - 1) FROM CPAR;
SELECT 'softened_water_not_one_material', ABS(COUNT(*) - 1) + SUM(CASE WHEN EXISTS (SELECT 1 FROM MATER M WHERE M.CODICE = A.CODICEMATERIAPRIMA) THEN 0 ELSE 1 END) FROM PRACQUA A;
SELECT 'flags_not_0_or_1', (SELECT COUNT(*) FROM MATER WHERE FLAGSCHEDASICUREZZA NOT IN ('0', '1') OR FLAGSCHEDATECNICA NOT IN ('0', '1')) + (SELECT COUNT(*) FROM COMPON WHERE CRITICO NOT IN ('0', '1')) + (SELECT COUNT(*) FROM PROCED WHERE EVIDENZA NOT IN ('0', '1')) + (SELECT COUNT(*) FROM FORMUL WHERE VISCOSO NOT IN ('0', '1') OR POLVERE NOT IN ('0', '1')) + (SELECT COUNT(*) FROM FABBRIC WHERE STORICOAGGIORNATO NOT IN ('0', '1')) + (SELECT COUNT(*) FROM IMBALLI WHERE TAPPOCOMPRESO NOT IN ('0', '1')) FROM RDB$DATABASE;
SELECT 'generator_ID_FABBRICAZIONE_COUNTER_behind', COUNT(*) FROM FABBRIC WHERE ID >= GEN_ID(ID_FABBRICAZIONE_COUNTER, 0);
SELECT 'generator_IDCONSUMICOUNTER_behind', COUNT(*) FROM CONSUMI WHERE ID_CONSUMI >= GEN_ID(IDCONSUMICOUNTER, 0);
SELECT 'generator_IDPESATE_FABBRCOUNTER_behind', COUNT(*) FROM PESATE_FABBR WHERE ID >= GEN_ID(IDPESATE_FABBRCOUNTER, 0);
SELECT 'generator_SERIALE_FABBCOMPON_COUNTER_behind', COUNT(*) FROM FABBCOMPON WHERE SERIALE IS NOT NULL AND CAST(SUBSTRING(SERIALE FROM 8) AS INTEGER) >= GEN_ID(SERIALE_FABBCOMPON_COUNTER, 0);
SELECT 'generator_GENERASERIALI_behind', COUNT(*) FROM LOG_STETICFABBRICAZ WHERE SERIALE >= GEN_ID(GENERASERIALI, 0);
SELECT 'generator_CODICETABXCOUNTER_behind', COUNT(*) FROM TABX WHERE CODICE >= GEN_ID(CODICETABXCOUNTER, 0);
SELECT 'host_paths_in_company_parameters', COUNT(*) FROM TABX WHERE NOME IN ('ArchivioTovaris', 'ArchivioPesate', 'PercorsoReportEtic');
SQL

run_checks erp <<'SQL'
SELECT 'order_lines_without_order', COUNT(*) FROM RIGHEORDC R WHERE NOT EXISTS (SELECT 1 FROM ORDC O WHERE O.ID = R.CODICEDOCUMENTO);
SELECT 'orders_of_unknown_customers', COUNT(*) FROM ORDC O WHERE NOT EXISTS (SELECT 1 FROM CLIENTI C WHERE C.CODICE = O.CODICECLIENTE);
SELECT 'orders_of_unknown_lines', COUNT(*) FROM ORDC O WHERE NOT EXISTS (SELECT 1 FROM LINEE L WHERE L.NOME = O.LINEA);
SELECT 'delivery_addresses_of_unknown_customers', COUNT(*) FROM CLIENTI D WHERE D.INTESTATARIOFATTURA IS NOT NULL AND NOT EXISTS (SELECT 1 FROM CLIENTI C WHERE C.CODICE = D.INTESTATARIOFATTURA);
SELECT 'serials_of_unknown_lots', COUNT(*) FROM SERIALI S WHERE NOT EXISTS (SELECT 1 FROM LOTTI L WHERE L.ID = S.IDLOTTO AND L.CODICEARTICOLO = S.CODICEARTICOLO);
SELECT 'received_lines_with_unknown_serial', COUNT(*) FROM RIGHEDDTCAR R WHERE NOT EXISTS (SELECT 1 FROM SERIALI S WHERE S.SERIALE = R.SERIALE AND S.CODICEARTICOLO = R.CODICEARTICOLO);
SELECT 'lots_of_unknown_suppliers', COUNT(*) FROM LOTTI L WHERE NOT EXISTS (SELECT 1 FROM FORNITO F WHERE F.CODICE = L.CODICEFORNITORE);
SELECT 'bill_lines_of_unknown_articles', COUNT(*) FROM DISTINT D WHERE NOT EXISTS (SELECT 1 FROM ANAMAG A WHERE A.CODICE = D.CODICEARTICOLO) OR NOT EXISTS (SELECT 1 FROM ANAMAG A WHERE A.CODICE = D.CODICECOMPONENTE);
SELECT 'production_lines_without_record', COUNT(*) FROM RSTOPRODUZ R WHERE NOT EXISTS (SELECT 1 FROM STOPRODUZ S WHERE S.CODICE = R.CODICEPRODUZ);
SELECT 'generator_IDORDCCOUNTER_behind', COUNT(*) FROM ORDC WHERE ID >= GEN_ID(IDORDCCOUNTER, 0);
SELECT 'generator_CODICESTOPRODUZCOUNTER_behind', COUNT(*) FROM STOPRODUZ WHERE CODICE >= GEN_ID(CODICESTOPRODUZCOUNTER, 0);
SELECT 'generator_IDANAMAGCOUNTER_behind', COUNT(*) FROM ANAMAG WHERE ID >= GEN_ID(IDANAMAGCOUNTER, 0);
SELECT 'generator_GEN_TOVARELAB_CHIAMATE_behind', COUNT(*) FROM TOVARELAB_CHIAMATE WHERE ID >= GEN_ID(GEN_TOVARELAB_CHIAMATE, 0);
SQL

run_checks weighing <<'SQL'
SELECT 'weighings_with_unknown_status', COUNT(*) FROM PESATE WHERE NOTE IS NOT NULL AND NOTE NOT IN ('APERTA', 'ERRORE', 'ANNULLATA', 'CHIUSA');
SELECT 'scales_with_two_open_weighings', COUNT(*) FROM (SELECT BILANCIA FROM PESATE WHERE NOTE = 'APERTA' GROUP BY BILANCIA HAVING COUNT(*) > 1);
SQL

# Checks across archives: compare sorted value lists taken from two databases.
# list <db> <query> <output file>: one trimmed value per line, sorted
list() {
    local script="$3.sql"
    printf 'SET HEADING OFF;\n%s;\n' "$2" >"$script"
    run_sql "$work/$1.fdb" "$script" "$3.raw" || return 1
    sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$3.raw" | LC_ALL=C sort -u >"$3"
}

# cross_check <name> <db A> <query A> <db B> <query B>: every value of A must be in B
cross_check() {
    local missing
    if ! list "$2" "$3" "$work/cross-a" || ! list "$4" "$5" "$work/cross-b"; then
        echo "FAIL  cross: $1 (query failed)" >&2
        failed=1
        return
    fi
    missing="$(LC_ALL=C comm -23 "$work/cross-a" "$work/cross-b")"
    if [ -z "$missing" ]; then
        echo "ok    cross: $1"
    else
        echo "FAIL  cross: $1:" $missing >&2
        failed=1
    fi
}

cross_check "weighing barcodes are batch-line barcodes" \
    weighing "SELECT BARCODE FROM PESATE" \
    company "SELECT SERIALE FROM FABBCOMPON WHERE SERIALE IS NOT NULL"
cross_check "assigned weighings are closed weighings of the archive" \
    company "SELECT BILANCIA || '|' || DATAORA FROM PESATE_FABBR" \
    weighing "SELECT BILANCIA || '|' || CAST(DATA_ORA AS VARCHAR(24)) FROM PESATE WHERE NOTE = 'CHIUSA'"
cross_check "scanned package serials are known to the ERP archive" \
    company "SELECT BARCODE_LOTTO_MATERIA || '|' || CODICEMATERIAPRIMA || '|' || LOTTOMATERIAPRIMA FROM PESATE_FABBR UNION SELECT SERIALE || '|' || CODICECONSUMATO || '|' || LOTTO FROM CONSUMI" \
    erp "SELECT R.SERIALE || '|' || R.CODICEARTICOLO || '|' || L.CODICELOTTO FROM RIGHEDDTCAR R JOIN SERIALI S ON S.SERIALE = R.SERIALE JOIN LOTTI L ON L.ID = S.IDLOTTO"
cross_check "ERP articles of the serials are raw materials" \
    erp "SELECT DISTINCT CODICEARTICOLO FROM SERIALI" \
    company "SELECT CODICE FROM MATER"
cross_check "committed batches point to ERP orders" \
    company "SELECT IDORDINEIMPMAT FROM FABBRIC WHERE IDORDINEIMPMAT IS NOT NULL" \
    erp "SELECT ID FROM ORDC"
# FM007 is left for the synchronisation: the products of numbered batches are there
cross_check "ERP articles exist for every raw material and every product made here" \
    company "SELECT CODICE FROM MATER UNION SELECT CODICE FROM FABBRIC WHERE CODICE STARTING WITH 'FM' AND ID IS NOT NULL" \
    erp "SELECT CODICE FROM ANAMAG"
cross_check "commitment and posting customers exist in the ERP archive" \
    company "SELECT TESTO FROM TABX WHERE NOME IN ('IMPFABBRCLIENTE', 'PRODFABBRCLIENTEGESTITO')" \
    erp "SELECT CODICE FROM CLIENTI"

if [ "$failed" -ne 0 ]; then
    echo "schema check FAILED (work files in $work)" >&2
    exit 1
fi
echo "schema check passed (databases in $work)"
