-- Weighing archive (path: company parameter "ArchivioPesate").
-- Rows are inserted by the weighing station. The weighing monitor only
-- classifies them and changes NOTE:
--   NULL (new), 'APERTA', 'ERRORE', 'ANNULLATA', 'CHIUSA'.

CREATE TABLE PESATE (
  BILANCIA VARCHAR(10) NOT NULL,
  DATA_ORA TIMESTAMP NOT NULL,
  BARCODE VARCHAR(20),
  PESO DOUBLE PRECISION,
  OPERATORE VARCHAR(30),
  NOTE VARCHAR(10),
  CONSTRAINT PESATE_CHIAVEPRIMARIA PRIMARY KEY (BILANCIA, DATA_ORA)
);

-- Classification picks the unclassified weighings (NOTE IS NULL) and counts
-- the open ones of a scale, the monitor counts the open weighings.
CREATE INDEX PESATE_NOTE ON PESATE (NOTE);
-- The list shows the newest weighings first (ORDER BY DATA_ORA DESC).
CREATE DESCENDING INDEX PESATE_DATA_ORA ON PESATE (DATA_ORA);
