#include "exchange/acqcliquintar.h"

#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/protezione.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quintar {

namespace {

using clienti::Cliente;
using clienti::ContenutoFile;
using clienti::Destinatario;

QString numero(qint64 n) {
    return Formati::numeroConMigliaia(double(n), 0);
}

QVariant testoOnull(const QString& s) {
    return s.isEmpty() ? QVariant() : QVariant(s);
}

// Each subject of the file in the order of its line: a customer where its
// first line made it, a delivery address where its line added it.
struct Voce {
    int riga;
    size_t cliente;
    int destinatario; // -1 for the customer itself
};

std::vector<Voce> inOrdineDiRiga(const ContenutoFile& c) {
    std::vector<Voce> v;
    for (size_t i = 0; i < c.clienti.size(); ++i) {
        v.push_back({c.clienti[i].riga, i, -1});
        for (size_t d = 0; d < c.clienti[i].destinatari.size(); ++d) {
            v.push_back({c.clienti[i].destinatari[d].riga, i, int(d)});
        }
    }
    std::stable_sort(v.begin(), v.end(), [](const Voce& a, const Voce& b) {
        return a.riga < b.riga || (a.riga == b.riga && a.destinatario < b.destinatario);
    });
    return v;
}

QString presenteCon(const QString& chi, const QString& codice, const QString& archivio,
                    const QString& file) {
    return chi + QLatin1Char(' ') + codice + QStringLiteral(" presente in archivio con \"") +
           archivio + QStringLiteral("\" mentre nel file presente con \"") + file +
           QStringLiteral("\"");
}

} // namespace

TAcqCliQuintarForm::TAcqCliQuintarForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), TransazioneTovaris(&sessione->IBDatabase2) {
    setObjectName(QStringLiteral("AcqCliQuintarForm"));
    setWindowTitle(QStringLiteral("Acquisizione clienti - Ditta: ") + sessione->Ditta);

    ButtonFile = creaPulsante(QStringLiteral("&File"), QStringLiteral("ButtonFile"), this);
    EditFile = new QLineEdit(this);
    EditFile->setObjectName(QStringLiteral("EditFile"));
    CheckSaltaPrimaRiga = new QCheckBox(
        QStringLiteral("Salta prima riga (perché nel file è presente l'intestazione)"), this);
    CheckSaltaPrimaRiga->setObjectName(QStringLiteral("CheckSaltaPrimaRiga"));
    CheckSaltaPrimaRiga->setChecked(true);
    ButtonAcquisisci =
        creaPulsante(QStringLiteral("&Acquisisci"), QStringLiteral("ButtonAcquisisci"), this);
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    MemoRiepilogo = new QPlainTextEdit(this);
    MemoRiepilogo->setObjectName(QStringLiteral("MemoRiepilogo"));
    MemoRiepilogo->setReadOnly(true);
    PanelProgresso = new QWidget(this);
    PanelProgresso->setObjectName(QStringLiteral("PanelProgresso"));
    LabelProgresso = new QLabel(PanelProgresso);
    LabelProgresso->setObjectName(QStringLiteral("LabelProgresso"));
    BarraProgresso = new QProgressBar(PanelProgresso);
    BarraProgresso->setObjectName(QStringLiteral("BarraProgresso"));
    BarraProgresso->setRange(0, 100);
    auto* lp = new QVBoxLayout(PanelProgresso);
    lp->setContentsMargins(0, 0, 0, 0);
    lp->addWidget(LabelProgresso);
    lp->addWidget(BarraProgresso);
    PanelProgresso->hide();

    auto* file = new QHBoxLayout;
    file->addWidget(ButtonFile);
    file->addWidget(EditFile, 1);
    auto* comandi = new QHBoxLayout;
    comandi->addWidget(CheckSaltaPrimaRiga);
    comandi->addStretch();
    comandi->addWidget(ButtonAcquisisci);
    auto* fondo = new QHBoxLayout;
    fondo->addStretch();
    fondo->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(file);
    v->addLayout(comandi);
    v->addWidget(new QLabel(QStringLiteral("Riepilogo:"), this));
    v->addWidget(MemoRiepilogo, 1);
    v->addWidget(PanelProgresso);
    v->addLayout(fondo);
    resize(760, 560);
    centraSulDesktop(this);

    connect(ButtonFile, &QPushButton::clicked, this, protetto(this, [this] { ButtonFileClick(); }));
    connect(ButtonAcquisisci, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAcquisisciClick(); }));
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
}

TAcqCliQuintarForm::~TAcqCliQuintarForm() = default;

void TAcqCliQuintarForm::ButtonFileClick() {
    QString cartella;
    const QString attuale = EditFile->text().trimmed();
    if (!attuale.isEmpty()) {
        const QFileInfo fi(percorsi::suDisco(attuale));
        if (fi.dir().exists()) {
            cartella = fi.dir().absolutePath();
        }
    }
    const QString scelto =
        Messaggi::scegliFile(this, QStringLiteral("Selezionare il file da acquisire"), cartella,
                             QStringLiteral("File CSV (*.csv *.CSV)"));
    if (!scelto.isEmpty()) {
        EditFile->setText(scelto);
    }
}

void TAcqCliQuintarForm::ButtonAcquisisciClick() {
    MemoRiepilogo->clear();
    const QString file = EditFile->text().trimmed();
    if (file.isEmpty()) {
        Messaggi::avviso(QStringLiteral("E' necessario selezionare un file"), this);
        return;
    }
    const QString suDisco = percorsi::suDisco(file);
    if (!QFileInfo(suDisco).isFile()) {
        Messaggi::avviso(QStringLiteral("Il file selezionato non esiste"), this);
        return;
    }
    acquisisci(suDisco);
}

void TAcqCliQuintarForm::acquisisci(const QString& file) {
    Riepilogo memo(MemoRiepilogo);
    QByteArray dati;
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            Messaggi::errore(QStringLiteral("Impossibile leggere il file selezionato: ") +
                                 f.errorString(),
                             this);
            return;
        }
        dati = f.readAll();
    }
    // a file that is not text is refused before anything is counted or offered
    if (!clienti::eTesto(dati)) {
        Messaggi::avviso(
            QStringLiteral("Il file selezionato non è un file di testo e non può essere acquisito"),
            this);
        return;
    }
    Lavorazione lavoro(this, BarraProgresso, PanelProgresso);
    LabelProgresso->setText(QStringLiteral("Analisi file"));
    LabelProgresso->repaint();
    const ContenutoFile contenuto = clienti::leggi(dati, CheckSaltaPrimaRiga->isChecked());
    dati.clear();
    QString errore;
    try {
        if (TransazioneTovaris.active()) {
            TransazioneTovaris.rollback();
        }
        TransazioneTovaris.start();
        memo << QStringLiteral("Codifica del file: ") + clienti::nomeCodifica(contenuto.codifica)
             << QStringLiteral("Inizio analisi file");
        const Totali t = analizza(contenuto, memo, lavoro);
        memo << QStringLiteral("Analisi file terminata") << QString()
             << QStringLiteral("Totale clienti rilevati: ") + numero(t.clienti)
             << QStringLiteral("Totale clienti nuovi: ") + numero(t.clientiNuovi)
             << QStringLiteral("Totale clienti con modifiche: ") + numero(t.clientiModificati)
             << QStringLiteral("Totale destinatari rilevati: ") + numero(t.destinatari)
             << QStringLiteral("Totale destinatari nuovi: ") + numero(t.destinatariNuovi)
             << QStringLiteral("Totale destinatari con modifiche: ") +
                    numero(t.destinatariModificati);
        memo.scrivi();
        lavoro.avanza(0, 1);
        LabelProgresso->setText(QStringLiteral("Analisi file terminata"));
        LabelProgresso->repaint();

        const bool nuovi = t.clientiNuovi + t.destinatariNuovi > 0;
        const bool modificati = t.clientiModificati + t.destinatariModificati > 0;
        bool sovrascrivi = false;
        if (!nuovi && !modificati) {
            lavoro.termina();
            TransazioneTovaris.rollback();
            Messaggi::informazione(QStringLiteral("Nel file non è stato rilevato nessun soggetto "
                                                  "nuovo o modificato"),
                                   this);
            return;
        }
        if (nuovi && modificati) {
            const QString r = Messaggi::chiedi(
                TipoMessaggio::Conferma,
                QStringLiteral("Analisi file terminata\r\rTotale clienti rilevati: ") +
                    numero(t.clienti) + QStringLiteral("\rTotale clienti nuovi: ") +
                    numero(t.clientiNuovi) + QStringLiteral("\rTotale clienti con modifiche: ") +
                    numero(t.clientiModificati) +
                    QStringLiteral("\rTotale destinatari rilevati: ") + numero(t.destinatari) +
                    QStringLiteral("\rTotale destinatari nuovi: ") + numero(t.destinatariNuovi) +
                    QStringLiteral("\rTotale destinatari con modifiche: ") +
                    numero(t.destinatariModificati) +
                    QStringLiteral("\r\rVerranno ora acquisiti i nuovi soggetti.\rEffettuare "
                                   "anche la sovrascrittura dei soggetti che hanno subito "
                                   "variazioni?"),
                {QStringLiteral("&Sì"), QStringLiteral("&No"), QStringLiteral("&Annulla")},
                QStringLiteral("Sì"), this);
            if (r != QStringLiteral("Sì") && r != QStringLiteral("No")) {
                TransazioneTovaris.rollback();
                return;
            }
            sovrascrivi = r == QStringLiteral("Sì");
        } else if (modificati) {
            if (!Messaggi::conferma(
                    QStringLiteral("Analisi file terminata\r\rTotale clienti con modifiche "
                                   "rilevati: ") +
                        numero(t.clientiModificati) +
                        QStringLiteral("\rTotale destinatari con modifiche rilevati: ") +
                        numero(t.destinatariModificati) +
                        QStringLiteral("\r(nessun soggetto nuovo da acquisire)\r\rAvviare la "
                                       "sovrascrittura dei soggetti?"),
                    this)) {
                TransazioneTovaris.rollback();
                return;
            }
            sovrascrivi = true;
        } else if (!Messaggi::conferma(
                       QStringLiteral("Analisi file terminata\r\rTotale clienti rilevati: ") +
                           numero(t.clienti) + QStringLiteral("\rTotale destinatari rilevati: ") +
                           numero(t.destinatari) +
                           QStringLiteral("\r(nessun soggetto con modifiche rilevato)\r\rAvviare "
                                          "l'acquisizione dei soggetti?"),
                       this)) {
            TransazioneTovaris.rollback();
            return;
        }
        scrivi(contenuto, sovrascrivi, memo, lavoro);
    } catch (const DbError& e) {
        errore = e.messaggio();
    } catch (const std::exception& e) {
        errore = QString::fromLocal8Bit(e.what());
    }
    lavoro.termina();
    if (!errore.isEmpty()) {
        // a failure outside one subject's write: nothing of the run is kept
        TransazioneTovaris.rollbackRetainingNoThrow();
        memo << QStringLiteral("Errore interno:") << errore
             << QStringLiteral("Acquisizione annullata: nessun dato memorizzato");
        memo.scrivi();
        Messaggi::errore(QStringLiteral("Errore interno: ") + errore, this);
        return;
    }
    memo.scrivi();
    Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
}

TAcqCliQuintarForm::Totali TAcqCliQuintarForm::analizza(const ContenutoFile& c, Riepilogo& memo,
                                                        Lavorazione& lavoro) {
    // the archive read once: a code looked up per line would cost a
    // statement per subject
    archivio_.clear();
    Query q(&sessione_->IBDatabase2, &TransazioneTovaris);
    q.SQL = {QStringLiteral("SELECT"),    QStringLiteral("  CODICE,"),
             QStringLiteral("  RAGSOC,"), QStringLiteral("  INTESTATARIOFATTURA"),
             QStringLiteral("FROM"),      QStringLiteral("  CLIENTI")};
    for (q.open(); !q.eof(); q.next()) {
        archivio_.insert(q.field(0).asString(), {q.field(1).asString(), q.field(2).asString()});
    }
    q.close();

    QHash<QString, size_t> codiciClienti;
    for (size_t i = 0; i < c.clienti.size(); ++i) {
        codiciClienti.insert(c.clienti[i].codice, i);
    }
    QHash<QString, const Destinatario*> codiciDestinatari;
    statoClienti_.assign(c.clienti.size(), {});
    statoDestinatari_.assign(c.clienti.size(), {});
    for (size_t i = 0; i < c.clienti.size(); ++i) {
        statoDestinatari_[i].assign(c.clienti[i].destinatari.size(), {});
    }

    Totali t;
    for (const Voce& v : inOrdineDiRiga(c)) {
        lavoro.avanza(v.riga - (CheckSaltaPrimaRiga->isChecked() ? 1 : 0), c.righe);
        const Cliente& cl = c.clienti[v.cliente];
        if (v.destinatario < 0) {
            Stato& s = statoClienti_[v.cliente];
            ++t.clienti;
            const auto a = archivio_.constFind(cl.codice);
            s.presente = a != archivio_.constEnd();
            s.modificato = s.presente && a->ragioneSociale != cl.nome;
            if (s.modificato) {
                memo << presenteCon(QStringLiteral("Cliente"), cl.codice, a->ragioneSociale,
                                    cl.nome);
                ++t.clientiModificati;
            } else if (!s.presente) {
                ++t.clientiNuovi;
            }
            continue;
        }
        const Destinatario& d = cl.destinatari[size_t(v.destinatario)];
        Stato& s = statoDestinatari_[v.cliente][size_t(v.destinatario)];
        ++t.destinatari;
        // a delivery address never takes the row of another subject
        QString motivo;
        const auto a = archivio_.constFind(d.codice);
        if (codiciClienti.contains(d.codice)) {
            motivo = QStringLiteral("il codice è quello di un cliente del file");
        } else if (const Destinatario* altro = codiciDestinatari.value(d.codice)) {
            motivo =
                QStringLiteral("il codice è già del destinatario della riga %1").arg(altro->riga);
        } else if (a != archivio_.constEnd() && a->intestatario != cl.codice) {
            motivo = a->intestatario.isEmpty()
                         ? QStringLiteral("il codice è quello di un cliente in archivio")
                         : QStringLiteral("il codice è in archivio un destinatario del "
                                          "cliente ") +
                               a->intestatario;
        }
        if (!motivo.isEmpty()) {
            s.conflitto = true;
            memo << QStringLiteral("Destinatario ") + d.codice + QStringLiteral(" del cliente ") +
                        cl.codice + QStringLiteral(" (riga %1) non acquisibile: ").arg(d.riga) +
                        motivo;
            continue;
        }
        codiciDestinatari.insert(d.codice, &d);
        s.presente = a != archivio_.constEnd();
        s.modificato = s.presente && a->ragioneSociale != d.nome;
        if (s.modificato) {
            memo << presenteCon(QStringLiteral("Destinatario"), d.codice, a->ragioneSociale,
                                d.nome);
            ++t.destinatariModificati;
        } else if (!s.presente) {
            ++t.destinatariNuovi;
        }
    }
    return t;
}

void TAcqCliQuintarForm::scrivi(const ContenutoFile& c, bool sovrascrivi, Riepilogo& memo,
                                Lavorazione& lavoro) {
    Database* db = &sessione_->IBDatabase2;
    const int utente = sessione_->NumUtente;
    // a new subject is inserted with its creation data; an overwritten one
    // keeps them, and keeps the columns the file does not carry
    Query nuovo(db, &TransazioneTovaris);
    nuovo.SQL = {QStringLiteral("INSERT INTO CLIENTI("),
                 QStringLiteral("CODICE,"),
                 QStringLiteral("RAGSOC,"),
                 QStringLiteral("INDIRIZZO,"),
                 QStringLiteral("CAP,"),
                 QStringLiteral("CITTA,"),
                 QStringLiteral("PROVINCIA,"),
                 QStringLiteral("NAZIONE,"),
                 QStringLiteral("PI,"),
                 QStringLiteral("CF,"),
                 QStringLiteral("INFO9,"),
                 QStringLiteral("INTESTATARIOFATTURA,"),
                 QStringLiteral("NOTETECNICHE,"),
                 QStringLiteral("OP1,"),
                 QStringLiteral("DATACREAZIONE,"),
                 QStringLiteral("OP2,"),
                 QStringLiteral("DATAULTIMOAGGIORNAMENTO"),
                 QStringLiteral(")"),
                 QStringLiteral("VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,CURRENT_DATE,?,CURRENT_DATE)")};
    Query cliente(db, &TransazioneTovaris);
    cliente.SQL = {QStringLiteral("UPDATE CLIENTI SET"),
                   QStringLiteral("RAGSOC=?,INDIRIZZO=?,CAP=?,CITTA=?,PROVINCIA=?,"),
                   QStringLiteral("NAZIONE=?,PI=?,CF=?,"),
                   QStringLiteral("OP2=?,DATAULTIMOAGGIORNAMENTO=CURRENT_DATE"),
                   QStringLiteral("WHERE CODICE=?")};
    Query destinatario(db, &TransazioneTovaris);
    destinatario.SQL = {QStringLiteral("UPDATE CLIENTI SET"),
                        QStringLiteral("RAGSOC=?,INDIRIZZO=?,CAP=?,CITTA=?,PROVINCIA=?,"),
                        QStringLiteral("INFO9=?,INTESTATARIOFATTURA=?,NOTETECNICHE=?,"),
                        QStringLiteral("OP2=?,DATAULTIMOAGGIORNAMENTO=CURRENT_DATE"),
                        QStringLiteral("WHERE CODICE=?")};
    memo << QString() << QStringLiteral("Inizio acquisizione dati");
    LabelProgresso->setText(QStringLiteral("Acquisizione dati"));
    LabelProgresso->repaint();

    // One subject written; false, with the memo lines, when it could not be.
    auto scriviSoggetto = [&](Query& q, std::vector<QVariant> p, const QString& chi,
                              const QString& codice) {
        q.setParams(std::move(p));
        try {
            if (q.execSQL() == 1) {
                return true;
            }
            memo << QStringLiteral("Fallita elaborazione ") + chi + QLatin1Char(' ') + codice +
                        QLatin1Char(':')
                 << QStringLiteral("il soggetto non è più in archivio");
        } catch (const DbError& e) {
            // the statement alone is undone: the run goes on
            memo << QStringLiteral("Fallita elaborazione ") + chi + QLatin1Char(' ') + codice +
                        QLatin1Char(':')
                 << e.messaggio();
        }
        return false;
    };

    qint64 aggiunti = 0, sovrascritti = 0, falliti = 0;
    qint64 dAggiunti = 0, dSovrascritti = 0, dFalliti = 0;
    const QString cli = QStringLiteral("cliente");
    const QString des = QStringLiteral("destinatario");
    for (size_t i = 0; i < c.clienti.size(); ++i) {
        lavoro.avanza(qint64(i + 1), qint64(c.clienti.size()));
        const Cliente& cl = c.clienti[i];
        const Stato& s = statoClienti_[i];
        bool inArchivio = s.presente;
        if (!s.presente) {
            inArchivio = scriviSoggetto(nuovo,
                                        {cl.codice, testoOnull(cl.nome), testoOnull(cl.indirizzo),
                                         testoOnull(cl.cap), testoOnull(cl.citta),
                                         testoOnull(cl.provincia), testoOnull(cl.nazione),
                                         testoOnull(cl.partitaIva), testoOnull(cl.codiceFiscale),
                                         QVariant(), QVariant(), QVariant(), utente, utente},
                                        cli, cl.codice);
            ++(inArchivio ? aggiunti : falliti);
        } else if (s.modificato && sovrascrivi) {
            // a failed overwrite leaves the customer there: its addresses go on
            ++(scriviSoggetto(cliente,
                              {testoOnull(cl.nome), testoOnull(cl.indirizzo), testoOnull(cl.cap),
                               testoOnull(cl.citta), testoOnull(cl.provincia),
                               testoOnull(cl.nazione), testoOnull(cl.partitaIva),
                               testoOnull(cl.codiceFiscale), utente, cl.codice},
                              cli, cl.codice)
                   ? sovrascritti
                   : falliti);
        }
        for (size_t k = 0; k < cl.destinatari.size(); ++k) {
            const Destinatario& d = cl.destinatari[k];
            const Stato& sd = statoDestinatari_[i][k];
            if (sd.conflitto || (sd.presente && !(sd.modificato && sovrascrivi))) {
                continue;
            }
            if (!inArchivio) {
                // its customer is not in the archive: it would point at nothing
                memo << QStringLiteral("Fallita elaborazione destinatario ") + d.codice +
                            QLatin1Char(':')
                     << QStringLiteral("il cliente ") + cl.codice +
                            QStringLiteral(" non è in archivio");
                ++dFalliti;
                continue;
            }
            const QVariant note = testoOnull(clienti::noteTecniche(d));
            if (!sd.presente) {
                ++(scriviSoggetto(nuovo,
                                  {d.codice, testoOnull(d.nome), testoOnull(d.indirizzo),
                                   testoOnull(d.cap), testoOnull(d.citta), testoOnull(d.provincia),
                                   QVariant(), QVariant(), QVariant(), testoOnull(d.riferimento),
                                   cl.codice, note, utente, utente},
                                  des, d.codice)
                       ? dAggiunti
                       : dFalliti);
            } else {
                ++(scriviSoggetto(destinatario,
                                  {testoOnull(d.nome), testoOnull(d.indirizzo), testoOnull(d.cap),
                                   testoOnull(d.citta), testoOnull(d.provincia),
                                   testoOnull(d.riferimento), cl.codice, note, utente, d.codice},
                                  des, d.codice)
                       ? dSovrascritti
                       : dFalliti);
            }
        }
    }
    // what was written stays, whatever failed beside it
    TransazioneTovaris.commitRetaining();
    memo << QStringLiteral("Acquisizione dati terminata") << QString()
         << QStringLiteral("Totale clienti aggiunti: ") + numero(aggiunti);
    if (sovrascrivi) {
        memo << QStringLiteral("Totale clienti sovrascritti: ") + numero(sovrascritti);
    }
    memo << QStringLiteral("Totale clienti falliti: ") + numero(falliti)
         << QStringLiteral("Totale destinatari aggiunti: ") + numero(dAggiunti);
    if (sovrascrivi) {
        memo << QStringLiteral("Totale destinatari sovrascritti: ") + numero(dSovrascritti);
    }
    memo << QStringLiteral("Totale destinatari falliti: ") + numero(dFalliti);
}

} // namespace quintar
