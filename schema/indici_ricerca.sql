-- Indexes for the list searches, for a company archive made before they were
-- part of company.sql. Run once, on a quiet archive (isql commits each
-- statement, and each index is built as it commits: a few seconds a million
-- rows):
--
--   isql-fb -user SYSDBA -password ... /path/to/archive.fdb -i schema/indici_ricerca.sql
--
-- A search in capitals on a list column (">=", or "LIKE %" with a beginning
-- typed) is ordered by UPPER(column) and then by the table's key, so that
-- tied rows always come in the same order. An expression index has a single
-- segment and cannot serve "ORDER BY UPPER(column), key": that order reads
-- and sorts every row from the value typed on. These indexes hold the whole
-- order in one expression, the column in capitals and then each key part,
-- every piece after ASCII_CHAR(1), which sorts below every character typed
-- (a text comes before the longer ones it begins, as in UPPER(column)):
--   a text key part as it is;
--   a whole-number part offset and padded to ten digits,
--     LPAD(CODICE + 2147483648, 10, '0'), in the order of the numbers;
--   a date part as it is: it joins the text as yyyy-mm-dd (the archive
--     finds no index through a CAST to CHAR, so none is written).
-- The list finds the index by its expression in the catalogue, condition and
-- order then read it from the value typed on, a screenful at a time; the
-- descending one serves "Decres.". Without them a list searches as before.
--
-- The plain indexes on UPPER(column) of the same columns (FORNITO_UPPER_CODICE
-- and the like) serve no list once these are in place and may be dropped.

CREATE INDEX FORNITO_RICERCA_CODICE ON FORNITO COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX FORNITO_RICERCA_CODICE_D ON FORNITO COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE INDEX FORNITO_RICERCA_RAGSOC ON FORNITO COMPUTED BY
  (UPPER(RAGSOC) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX FORNITO_RICERCA_RAGSOC_D ON FORNITO COMPUTED BY
  (UPPER(RAGSOC) || ASCII_CHAR(1) || CODICE);

CREATE INDEX MATER_RICERCA_CODICE ON MATER COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX MATER_RICERCA_CODICE_D ON MATER COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE INDEX MATER_RICERCA_NOMECOMMERCIALE ON MATER COMPUTED BY
  (UPPER(NOMECOMMERCIALE) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX MATER_RICERCA_NOMECOMMERCIALE_D ON MATER COMPUTED BY
  (UPPER(NOMECOMMERCIALE) || ASCII_CHAR(1) || CODICE);

CREATE INDEX IMBALLI_RICERCA_CODICE ON IMBALLI COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX IMBALLI_RICERCA_CODICE_D ON IMBALLI COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE INDEX IMBALLI_RICERCA_NOMEIMBALLO ON IMBALLI COMPUTED BY
  (UPPER(NOMEIMBALLO) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX IMBALLI_RICERCA_NOMEIMBALLO_D ON IMBALLI COMPUTED BY
  (UPPER(NOMEIMBALLO) || ASCII_CHAR(1) || CODICE);

CREATE INDEX PRODOT_RICERCA_CODICE ON PRODOT COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX PRODOT_RICERCA_CODICE_D ON PRODOT COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE);
CREATE INDEX PRODOT_RICERCA_NOME ON PRODOT COMPUTED BY
  (UPPER(NOME) || ASCII_CHAR(1) || CODICE);
CREATE DESCENDING INDEX PRODOT_RICERCA_NOME_D ON PRODOT COMPUTED BY
  (UPPER(NOME) || ASCII_CHAR(1) || CODICE);

CREATE INDEX FORMUL_RICERCA_NOME ON FORMUL COMPUTED BY
  (UPPER(NOME) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));
CREATE DESCENDING INDEX FORMUL_RICERCA_NOME_D ON FORMUL COMPUTED BY
  (UPPER(NOME) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));

CREATE INDEX COSTI_RICERCA_DESCRIZIONE ON COSTI COMPUTED BY
  (UPPER(DESCRIZIONE) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));
CREATE DESCENDING INDEX COSTI_RICERCA_DESCRIZIONE_D ON COSTI COMPUTED BY
  (UPPER(DESCRIZIONE) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));

CREATE INDEX FABBRIC_RICERCA_CODICE ON FABBRIC COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE || ASCII_CHAR(1) || DATA || ASCII_CHAR(1) || LOTTO);
CREATE DESCENDING INDEX FABBRIC_RICERCA_CODICE_D ON FABBRIC COMPUTED BY
  (UPPER(CODICE) || ASCII_CHAR(1) || CODICE || ASCII_CHAR(1) || DATA || ASCII_CHAR(1) || LOTTO);
CREATE INDEX FABBRIC_RICERCA_NOMEPRODOTTO ON FABBRIC COMPUTED BY
  (UPPER(NOMEPRODOTTO) || ASCII_CHAR(1) || CODICE || ASCII_CHAR(1) || DATA || ASCII_CHAR(1) || LOTTO);
CREATE DESCENDING INDEX FABBRIC_RICERCA_NOMEPRODOTTO_D ON FABBRIC COMPUTED BY
  (UPPER(NOMEPRODOTTO) || ASCII_CHAR(1) || CODICE || ASCII_CHAR(1) || DATA || ASCII_CHAR(1) || LOTTO);
