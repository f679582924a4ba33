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

-- The weighing monitor polls the table every few hundred milliseconds. Its
-- poll reads only what these two indexes give: without them it counts the
-- whole table at every poll (and says so in its log). A station's existing
-- archive gets them as docs/pesate.md shows; the monitor never alters it.
--
-- The few weighings not classified yet (NOTE IS NULL), open or in error are
-- found and counted through this index, and so is each scale's open
-- weighing when a new one is classified; closed and cancelled ones, which
-- are nearly all of the table, are never read by a poll.
CREATE INDEX PESATE_NOTE ON PESATE (NOTE);
-- The monitor's list (newest first, the scale breaking ties: ORDER BY
-- DATA_ORA DESC, BILANCIA DESC), read again after every change a poll
-- notices, comes in the order of this index, a screenful at a time, instead
-- of a sort of the whole table.
CREATE DESCENDING INDEX PESATE_DATA_ORA ON PESATE (DATA_ORA, BILANCIA);
