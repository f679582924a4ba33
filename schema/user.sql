-- User database (user\user.fdb beside the host executable).
-- Users, their current company, per-user parameters, security profiles
-- and the host window log. TABSCRIPT is created by the library when missing.

CREATE TABLE UTENTI (
  CODICE INTEGER NOT NULL,
  NOMEUTENTE VARCHAR(31),
  PWDUTENTE VARCHAR(31),
  DITTA VARCHAR(64),
  PROFILOSICUREZZA VARCHAR(10),
  ARBELON BLOB SUB_TYPE TEXT,
  CONSTRAINT UTENTI_CHIAVEPRIMARIA PRIMARY KEY (CODICE)
);

-- The session looks the password and the company up by user name,
-- so a name must identify one user.
CREATE UNIQUE INDEX UTENTI_NOMEUTENTE ON UTENTI (NOMEUTENTE);

-- One row per user, company (INTESTAZIONE) and parameter.
-- PROGRESSIVO is the running number of the rows of a user (max + 1).
CREATE TABLE TABARBELON (
  UTENTE INTEGER NOT NULL,
  INTESTAZIONE VARCHAR(64),
  PARAMETRO VARCHAR(64),
  VALORE VARCHAR(255),
  PROGRESSIVO INTEGER NOT NULL,
  CONSTRAINT TABARBELON_CHIAVEPRIMARIA PRIMARY KEY (UTENTE, PROGRESSIVO)
);

-- Parameters are read and written by (user, company, name).
CREATE UNIQUE INDEX TABARBELON_PARAMETRO ON TABARBELON (UTENTE, INTESTAZIONE, PARAMETRO);

-- Security profiles: LIVELLOPREDEFINITO 2 makes the user read-only.
CREATE TABLE PROFILI (
  CODICE VARCHAR(10) NOT NULL,
  DESCRIZIONE VARCHAR(64),
  LIVELLOPREDEFINITO SMALLINT,
  CONSTRAINT PROFILI_CHIAVEPRIMARIA PRIMARY KEY (CODICE)
);

-- Host window log: the host inserts a row before calling an X entry point,
-- the library writes the window handle into it. Both identifiers are
-- compared and written as quoted decimal strings.
CREATE TABLE TOVARLOGFUNZ (
  IDFINESTRA VARCHAR(20) NOT NULL,
  HANDLEFINESTRA VARCHAR(24),
  UTENTE INTEGER,
  PUNTOINGRESSO VARCHAR(64),
  DATAORAAPERTURA TIMESTAMP DEFAULT CURRENT_TIMESTAMP,
  CONSTRAINT TOVARLOGFUNZ_CHIAVEPRIMARIA PRIMARY KEY (IDFINESTRA)
);
