-- Demo users of the user database. All work on the company "Chimica Demo S.r.l.".
-- A profile whose LIVELLOPREDEFINITO is 2 makes its users read-only: OSPITE is
-- bound to CONS, ADMIN and MARIO have profiles of other levels (full rights).
-- The per-user parameters (TABARBELON: folders and archive paths) and the window
-- log are written by the host.
INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('AMM', 'Amministratore', 0);
INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('OPE', 'Operatore di produzione', 1);
INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('CONS', 'Sola consultazione', 2);
INSERT INTO UTENTI (CODICE, NOMEUTENTE, PWDUTENTE, DITTA, PROFILOSICUREZZA) VALUES (1, 'ADMIN', 'admin', 'Chimica Demo S.r.l.', 'AMM');
INSERT INTO UTENTI (CODICE, NOMEUTENTE, PWDUTENTE, DITTA, PROFILOSICUREZZA) VALUES (2, 'MARIO', 'mario', 'Chimica Demo S.r.l.', 'OPE');
INSERT INTO UTENTI (CODICE, NOMEUTENTE, PWDUTENTE, DITTA, PROFILOSICUREZZA) VALUES (3, 'OSPITE', 'ospite', 'Chimica Demo S.r.l.', 'CONS');
