// External programs some tests read their results with (pdftotext, zbarimg…).
// Where one is missing the test is skipped on a developer's machine; with the
// environment variable CI set (non-empty) it fails instead, so that a run that
// installs every package never passes without having checked.
#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace prova {

// True when the environment variable CI is set and not empty.
bool inCi();

// Full path of the program on PATH, empty when there is none.
QString strumento(const QString& nome);

// The line that names the missing program and the Debian package holding it.
std::string strumentoMancante(const QString& nome, const QString& pacchetto);

// For a check inside a test that can do without the program: true when it is
// there; otherwise false, and under CI a failure of the test naming it.
bool strumentoDisponibile(const QString& nome, const QString& pacchetto);

// A python3 that reads workbooks with openpyxl: the one on PATH, else the
// system's (a python of the user's own may lack the Debian module); empty
// when there is none. Looked for once.
const QString& pythonConOpenpyxl();

} // namespace prova

// At the top of a test that needs the program: skips (fails under CI) when
// it is missing.
#define RICHIEDI_STRUMENTO(nome, pacchetto)                                                        \
    do {                                                                                           \
        if (::prova::strumento(nome).isEmpty()) {                                                  \
            if (::prova::inCi()) {                                                                 \
                GTEST_FAIL() << ::prova::strumentoMancante(nome, pacchetto);                       \
            }                                                                                      \
            GTEST_SKIP() << ::prova::strumentoMancante(nome, pacchetto);                           \
        }                                                                                          \
    } while (false)

// At the top of a test that reads a workbook: skips (fails under CI) when no
// python3 with openpyxl is there.
#define RICHIEDI_OPENPYXL()                                                                        \
    do {                                                                                           \
        if (::prova::pythonConOpenpyxl().isEmpty()) {                                              \
            if (::prova::inCi()) {                                                                 \
                GTEST_FAIL() << "manca python3 con openpyxl (pacchetto Debian python3-openpyxl)";  \
            }                                                                                      \
            GTEST_SKIP() << "manca python3 con openpyxl (pacchetto Debian python3-openpyxl)";      \
        }                                                                                          \
    } while (false)
