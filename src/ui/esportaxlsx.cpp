#include "ui/esportaxlsx.h"

#include "session/messaggi.h"
#include "ui/esecuzione.h"
#include "ui/grigliamodello.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <xlsxwriter.h>

namespace quintar {

namespace {

// Rows between two calls of the progress.
constexpr qint64 kBlocco = 256;
// The longest text a cell holds.
constexpr int kTestoMassimo = 32767;

QString erroreXlsx(lxw_error e) {
    return QString::fromUtf8(lxw_strerror(e));
}

// The workbook being written, freed without writing anything when the
// export stops before its end.
struct Cartella {
    lxw_workbook* wb = nullptr;
    ~Cartella() {
        if (wb) {
            lxw_workbook_free(wb);
        }
    }
    lxw_error chiudi() {
        lxw_workbook* w = wb;
        wb = nullptr;
        return workbook_close(w);
    }
};

// Excel's column width is in characters of its default font, about 7 pixels
// each plus a margin.
double larghezzaExcel(int pixel) {
    return pixel <= 0 ? 0.0 : std::max(1.0, (pixel - 5) / 7.0);
}

} // namespace

namespace {

// Rows kept in memory, read as a cursor is.
class CursoreInMemoria {
public:
    explicit CursoreInMemoria(const ElencoInMemoria& e) : e_(e) {}
    const std::vector<InfoCampo>& fields() const { return e_.campi; }
    int indexOf(const QString& nome) const {
        for (size_t i = 0; i < e_.campi.size(); ++i) {
            if (e_.campi[i].nome.compare(nome, Qt::CaseInsensitive) == 0) {
                return int(i);
            }
        }
        return -1;
    }
    bool eof() const { return riga_ >= e_.righe.size(); }
    void next() { ++riga_; }
    Campo field(int i) const {
        const std::vector<QVariant>& r = e_.righe[riga_];
        return Campo(&e_.campi[size_t(i)], size_t(i) < r.size() ? r[size_t(i)] : QVariant());
    }

private:
    const ElencoInMemoria& e_;
    size_t riga_ = 0;
};

template <typename Cursore>
EsitoEsportazione scrivi(Cursore& q, const std::vector<ColonnaEsportata>& colonneRichieste,
                         const QString& file, const std::function<bool(qint64)>& avanzamento,
                         qint64 righePerFoglio);

} // namespace

EsitoEsportazione scriviXlsx(Query& q, const std::vector<ColonnaEsportata>& colonne,
                             const QString& file, const std::function<bool(qint64)>& avanzamento,
                             qint64 righePerFoglio) {
    return scrivi(q, colonne, file, avanzamento, righePerFoglio);
}

EsitoEsportazione scriviXlsx(const ElencoInMemoria& elenco,
                             const std::vector<ColonnaEsportata>& colonne, const QString& file,
                             const std::function<bool(qint64)>& avanzamento,
                             qint64 righePerFoglio) {
    CursoreInMemoria c(elenco);
    return scrivi(c, colonne, file, avanzamento, righePerFoglio);
}

namespace {

template <typename Cursore>
EsitoEsportazione scrivi(Cursore& q, const std::vector<ColonnaEsportata>& colonneRichieste,
                         const QString& file, const std::function<bool(qint64)>& avanzamento,
                         qint64 righePerFoglio) {
    EsitoEsportazione esito;
    auto errore = [&esito](const QString& m) {
        esito.stato = EsitoEsportazione::Errore;
        esito.messaggio = m;
        return esito;
    };
    // which fields, in which order
    std::vector<ColonnaEsportata> colonne = colonneRichieste;
    if (colonne.empty()) {
        for (const InfoCampo& c : q.fields()) {
            if (c.tipo != TipoCampo::Binario) {
                colonne.push_back({c.nome, c.nome, 0});
            }
        }
    }
    std::vector<int> indici;
    for (const ColonnaEsportata& c : colonne) {
        const int i = q.indexOf(c.campo);
        if (i < 0) {
            return errore(QStringLiteral("il campo %1 non è nell'elenco").arg(c.campo));
        }
        indici.push_back(i);
    }
    if (colonne.size() > size_t(LXW_COL_MAX)) {
        return errore(QStringLiteral("l'elenco ha più colonne di quante un foglio ne contenga"));
    }
    righePerFoglio = std::clamp<qint64>(righePerFoglio, 2, kRigheFoglio);

    // the rows go into a file of their own beside the chosen one, which takes
    // its name only once the workbook is complete
    const QFileInfo destinazione(file);
    if (!destinazione.absoluteDir().exists()) {
        return errore(QStringLiteral("la cartella %1 non esiste")
                          .arg(QDir::toNativeSeparators(destinazione.absolutePath())));
    }
    QTemporaryFile provvisorio(destinazione.absolutePath() + QStringLiteral("/.") +
                               destinazione.fileName() + QStringLiteral(".XXXXXX"));
    if (!provvisorio.open()) {
        return errore(provvisorio.errorString());
    }
    provvisorio.close();
    const QByteArray percorso = QFile::encodeName(provvisorio.fileName());

    lxw_workbook_options opzioni{};
    opzioni.constant_memory = LXW_TRUE; // each row leaves memory once written
    opzioni.tmpdir = nullptr;
    opzioni.use_zip64 = LXW_FALSE;
    Cartella cartella;
    cartella.wb = workbook_new_opt(percorso.constData(), &opzioni);
    if (!cartella.wb) {
        return errore(QStringLiteral("impossibile creare la cartella di lavoro"));
    }
    lxw_workbook* wb = cartella.wb;
    lxw_format* formatoTitolo = workbook_add_format(wb);
    format_set_bold(formatoTitolo);
    lxw_format* formatoData = workbook_add_format(wb);
    format_set_num_format(formatoData, "dd/mm/yyyy");
    lxw_format* formatoDataOra = workbook_add_format(wb);
    format_set_num_format(formatoDataOra, "dd/mm/yyyy hh:mm:ss");
    lxw_format* formatoOra = workbook_add_format(wb);
    format_set_num_format(formatoOra, "hh:mm:ss");
    std::map<int, lxw_format*> formatiDecimali;
    std::vector<lxw_format*> formati(colonne.size(), nullptr);
    for (size_t c = 0; c < colonne.size(); ++c) {
        const InfoCampo& info = q.fields()[size_t(indici[c])];
        switch (info.tipo) {
        case TipoCampo::Data:
            formati[c] = formatoData;
            break;
        case TipoCampo::DataOra:
            formati[c] = formatoDataOra;
            break;
        case TipoCampo::Ora:
            formati[c] = formatoOra;
            break;
        case TipoCampo::Decimale:
            if (info.scala > 0) {
                lxw_format*& f = formatiDecimali[info.scala];
                if (!f) {
                    f = workbook_add_format(wb);
                    const QByteArray schema = "0." + QByteArray(info.scala, '0');
                    format_set_num_format(f, schema.constData());
                }
                formati[c] = f;
            }
            break;
        default:
            break;
        }
    }

    lxw_worksheet* foglio = nullptr;
    int numeroFoglio = 0;
    lxw_row_t riga = 0;
    lxw_error e = LXW_NO_ERROR;
    auto nuovoFoglio = [&]() -> bool {
        const QByteArray nome = QStringLiteral("Foglio%1").arg(++numeroFoglio).toUtf8();
        foglio = workbook_add_worksheet(wb, nome.constData());
        if (!foglio) {
            return false;
        }
        for (size_t c = 0; c < colonne.size(); ++c) {
            const lxw_col_t col = lxw_col_t(c);
            const double w = larghezzaExcel(colonne[c].larghezza);
            if (w > 0) {
                worksheet_set_column(foglio, col, col, w, nullptr);
            }
            const QString titolo =
                colonne[c].titolo.isEmpty() ? colonne[c].campo : colonne[c].titolo;
            e = worksheet_write_string(foglio, 0, col, titolo.left(kTestoMassimo).toUtf8(),
                                       formatoTitolo);
            if (e != LXW_NO_ERROR) {
                return false;
            }
        }
        worksheet_freeze_panes(foglio, 1, 0);
        riga = 1;
        return true;
    };
    if (!nuovoFoglio()) {
        return errore(e != LXW_NO_ERROR ? erroreXlsx(e)
                                        : QStringLiteral("impossibile creare il foglio"));
    }
    if (avanzamento && !avanzamento(0)) {
        esito.stato = EsitoEsportazione::Annullata;
        return esito;
    }

    auto scriviCampo = [&](lxw_col_t col, const Campo& v, lxw_format* formato) -> lxw_error {
        if (v.isNull()) {
            return LXW_NO_ERROR;
        }
        auto testo = [&](const QString& s) {
            if (s.isEmpty()) {
                return LXW_NO_ERROR;
            }
            return worksheet_write_string(foglio, riga, col, s.left(kTestoMassimo).toUtf8(),
                                          nullptr);
        };
        switch (v.info().tipo) {
        case TipoCampo::Intero:
            return worksheet_write_number(foglio, riga, col, double(v.asInteger()), formato);
        case TipoCampo::Decimale:
        case TipoCampo::Virgola: {
            const double d = v.asFloat();
            return std::isfinite(d) ? worksheet_write_number(foglio, riga, col, d, formato)
                                    : testo(v.asString());
        }
        case TipoCampo::Data:
        case TipoCampo::DataOra: {
            const QDateTime t = v.asDateTime();
            // a spreadsheet's dates start with 1900
            if (!t.isValid() || t.date().year() < 1900 || t.date().year() > 9999) {
                return testo(v.asString());
            }
            lxw_datetime d{t.date().year(),   t.date().month(),
                           t.date().day(),    t.time().hour(),
                           t.time().minute(), t.time().second() + t.time().msec() / 1000.0};
            return worksheet_write_datetime(foglio, riga, col, &d, formato);
        }
        case TipoCampo::Ora: {
            const QTime t = v.valore().toTime();
            if (!t.isValid()) {
                return testo(v.asString());
            }
            // a time is the day's fraction
            return worksheet_write_number(foglio, riga, col, t.msecsSinceStartOfDay() / 86400000.0,
                                          formato);
        }
        case TipoCampo::Booleano:
            return worksheet_write_boolean(foglio, riga, col, v.valore().toBool() ? 1 : 0, nullptr);
        case TipoCampo::Binario:
            return LXW_NO_ERROR;
        default:
            return testo(v.asString());
        }
    };

    try {
        for (; !q.eof(); q.next()) {
            if (qint64(riga) >= righePerFoglio && !nuovoFoglio()) {
                return errore(e != LXW_NO_ERROR ? erroreXlsx(e)
                                                : QStringLiteral("impossibile creare il foglio"));
            }
            for (size_t c = 0; c < colonne.size(); ++c) {
                e = scriviCampo(lxw_col_t(c), q.field(indici[c]), formati[c]);
                if (e != LXW_NO_ERROR) {
                    return errore(erroreXlsx(e));
                }
            }
            ++riga;
            ++esito.righe;
            if (esito.righe % kBlocco == 0 && avanzamento && !avanzamento(esito.righe)) {
                esito.stato = EsitoEsportazione::Annullata;
                return esito;
            }
        }
    } catch (const DbError& ex) {
        return errore(ex.messaggio());
    }
    if (avanzamento && !avanzamento(esito.righe)) {
        esito.stato = EsitoEsportazione::Annullata;
        return esito;
    }
    e = cartella.chiudi();
    if (e != LXW_NO_ERROR) {
        return errore(erroreXlsx(e));
    }
    // the temporary file was made for its owner alone: the export gets the
    // permissions of the file it replaces, or those any new file gets
    const QByteArray finale = QFile::encodeName(destinazione.absoluteFilePath());
    struct stat sostituito {};
    mode_t modo = 0;
    if (::stat(finale.constData(), &sostituito) == 0 && S_ISREG(sostituito.st_mode)) {
        modo = sostituito.st_mode & 07777;
    } else {
        const mode_t maschera = ::umask(0);
        ::umask(maschera);
        modo = 0666 & ~maschera;
    }
    if (::chmod(percorso.constData(), modo) != 0) {
        return errore(QString::fromLocal8Bit(std::strerror(errno)));
    }
    // the complete file takes the chosen name in one step, replacing any
    // file of that name
    if (std::rename(percorso.constData(), finale.constData()) != 0) {
        return errore(QString::fromLocal8Bit(std::strerror(errno)));
    }
    provvisorio.setAutoRemove(false);
    return esito;
}

} // namespace

std::vector<ColonnaEsportata> colonneVista(const QTableView* vista, const GrigliaModello* modello) {
    std::vector<ColonnaEsportata> r;
    const QHeaderView* h = vista->horizontalHeader();
    const auto& campi = modello->campi();
    for (int visivo = 0; visivo < h->count(); ++visivo) {
        const int logico = h->logicalIndex(visivo);
        if (logico < 0 || size_t(logico) >= campi.size() || h->isSectionHidden(logico) ||
            campi[size_t(logico)].tipo == TipoCampo::Binario) {
            continue;
        }
        r.push_back({campi[size_t(logico)].nome, modello->titolo(logico), h->sectionSize(logico)});
    }
    return r;
}

QStringList sqlSenzaFinestra(QStringList sql) {
    static const QRegularExpression finestra(QStringLiteral("\\s+ROWS\\s+\\d+\\s+TO\\s+\\d+\\s*$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (!sql.isEmpty()) {
        sql.last().remove(finestra);
    }
    return sql;
}

namespace {

// The progress of an export: rows written of how many, and "Annulla";
// closing the window asks to stop too.
class FinestraEsportazione : public QWidget {
public:
    explicit FinestraEsportazione(QWidget* owner)
        : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
        setObjectName(QStringLiteral("EsportazioneForm"));
        setWindowTitle(QStringLiteral("Esportazione in Excel"));
        LabelRighe = new QLabel(QStringLiteral("Lettura dell'elenco..."), this);
        LabelRighe->setObjectName(QStringLiteral("LabelRighe"));
        Barra = new QProgressBar(this);
        Barra->setObjectName(QStringLiteral("ProgressBarEsportazione"));
        Barra->setRange(0, 0);
        ButtonAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
        ButtonAnnulla->setObjectName(QStringLiteral("ButtonAnnulla"));
        ButtonAnnulla->setAutoDefault(false);
        auto* l = new QVBoxLayout(this);
        l->addWidget(LabelRighe);
        l->addWidget(Barra);
        l->addWidget(ButtonAnnulla, 0, Qt::AlignRight);
        resize(360, sizeHint().height());
        QObject::connect(ButtonAnnulla, &QPushButton::clicked, this, [this] { annullata = true; });
    }

    QLabel* LabelRighe;
    QProgressBar* Barra;
    QPushButton* ButtonAnnulla;
    bool annullata = false;

protected:
    void closeEvent(QCloseEvent* e) override {
        annullata = true;
        e->ignore();
    }
};

bool daBloccare(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QAbstractItemView*>(w) || qobject_cast<QMenuBar*>(w);
}

} // namespace

QString esportaElencoXlsx(QWidget* finestra, Database* db, const QStringList& sqlElenco,
                          const std::vector<QVariant>& parametri,
                          const std::vector<ColonnaEsportata>& colonne, const QString& nomeProposto,
                          const QString& cartella) {
    QWidget* schermo = finestra ? finestra->window() : nullptr;
    if (!db || (schermo && EsecuzioneInCorso::inCorso(schermo))) {
        return {};
    }
    QString file;
    {
        QFileDialog dlg(finestra, QStringLiteral("Esporta in Excel"), cartella,
                        QStringLiteral("Cartella di lavoro Excel (*.xlsx)"));
        dlg.setObjectName(QStringLiteral("DialogoEsportaExcel"));
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        dlg.setDefaultSuffix(QStringLiteral("xlsx"));
        dlg.selectFile(nomeProposto + QStringLiteral(".xlsx"));
        file = Messaggi::salvaCome(&dlg, QStringLiteral("xlsx"), finestra);
        if (file.isEmpty()) {
            return {};
        }
    }
    const QStringList sql = sqlSenzaFinestra(sqlElenco);

    // the screen is locked while the rows are written; the progress window
    // comes after, so that its "Annulla" stays pressable
    std::vector<QWidget*> controlli;
    if (schermo) {
        for (QWidget* w : schermo->findChildren<QWidget*>()) {
            if (daBloccare(w) && w->isEnabled()) {
                controlli.push_back(w);
            }
        }
    }
    std::optional<EsecuzioneInCorso> esecuzione;
    if (schermo) {
        esecuzione.emplace(schermo, controlli);
    }
    auto progresso = std::make_unique<FinestraEsportazione>(schermo);
    progresso->show();
    // shown and painted before the count, which may take a while on a long list
    if (esecuzione) {
        esecuzione->passo(true);
    }

    EsitoEsportazione esito;
    try {
        // a snapshot of its own: a long export sees one state of the archive,
        // whatever the screen commits meanwhile
        Transaction t(db, {QStringLiteral("isc_tpb_concurrency"), QStringLiteral("isc_tpb_nowait"),
                           QStringLiteral("isc_tpb_read")});
        qint64 totale = -1;
        {
            Query conteggio(db, &t);
            conteggio.SQL = QStringList{QStringLiteral("SELECT COUNT(*) FROM (")} + sql +
                            QStringList{QStringLiteral(")")};
            conteggio.setParams(parametri);
            try {
                totale = conteggio.scalar().toLongLong();
            } catch (const DbError&) {
                totale = -1; // the bar then only shows that it runs
            }
        }
        if (totale >= 0) {
            progresso->Barra->setRange(0, 100);
            progresso->Barra->setValue(0);
        }
        Query q(db, &t);
        q.SQL = sql;
        q.setParams(parametri); // bound as the list binds them
        q.open();
        FinestraEsportazione* p = progresso.get();
        esito = scriviXlsx(q, colonne, file, [&](qint64 n) {
            auto mostra = [&] {
                p->LabelRighe->setText(
                    totale >= 0 ? QStringLiteral("Righe esportate: %1 di %2").arg(n).arg(totale)
                                : QStringLiteral("Righe esportate: %1").arg(n));
                if (totale > 0) {
                    p->Barra->setValue(int(std::lround(100.0 * double(n) / double(totale))));
                }
            };
            if (esecuzione) {
                esecuzione->passo(mostra, n == 0);
            } else {
                mostra();
                QCoreApplication::processEvents();
            }
            return !p->annullata;
        });
        q.close();
        if (t.active()) {
            t.rollback();
        }
    } catch (const DbError& e) {
        esito.stato = EsitoEsportazione::Errore;
        esito.messaggio = e.messaggio();
    }
    progresso.reset();
    esecuzione.reset();

    const QString nome = QDir::toNativeSeparators(file);
    switch (esito.stato) {
    case EsitoEsportazione::Completata:
        Messaggi::informazione(
            QStringLiteral("Esportazione completata: %1 righe in %2").arg(esito.righe).arg(nome),
            finestra);
        return file;
    case EsitoEsportazione::Annullata:
        Messaggi::informazione(QStringLiteral("Esportazione annullata: il file %1 non è stato "
                                              "scritto")
                                   .arg(nome),
                               finestra);
        return {};
    case EsitoEsportazione::Errore:
        Messaggi::errore(
            QStringLiteral("Impossibile scrivere il file %1: %2").arg(nome, esito.messaggio),
            finestra);
        return {};
    }
    return {};
}

} // namespace quintar
