#include "host/lancio.h"

#include "config/capconf.h"
#include "config/categpr.h"
#include "config/codadr.h"
#include "config/confez.h"
#include "config/convcapconf.h"
#include "config/inibase.h"
#include "config/riempit.h"
#include "exchange/acqcliquintar.h"
#include "exchange/conv.h"
#include "exchange/impovarie.h"
#include "exchange/regolarizza.h"
#include "exchange/sincrotovaris.h"
#include "formulation/costiform.h"
#include "formulation/cpar.h"
#include "formulation/formul.h"
#include "formulation/pracqua.h"
#include "formulation/sincroprezzi.h"
#include "master/fornito.h"
#include "master/imballi.h"
#include "master/mater.h"
#include "master/prodotti.h"
#include "production/idpesate.h"
#include "production/impegnofabbricazioni.h"
#include "production/liqpolv.h"
#include "production/produzionefabbricazioni.h"
#include "production/stopesate.h"
#include "production/tracciabilita.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/finestra.h"

#include <QFileInfo>
#include <QIcon>
#include <exception>
#include <memory>

namespace quintar {

namespace {

// Where each session parameter row takes its value from.
struct OrigineParametro {
    const char* nome;
    const char* tipo;
    const char* sorgente; // user parameter, or report path after BinDir for LST rows
};

const OrigineParametro kOrigini[] = {
    {"BinDir", "KDQ", "Directory bin"},
    {"Archivio", "KDQ", "ArchivioQuintar"},
    {"TempDir", "KDQ", "Directory tabelle temporanee"},
    {"DirectoryImmagini", "KDQ", "Directory Immagini"},
    {"NomePathProgrammaWord", "KDQ", "NomePathProgrammaWord"},
    {"LavoroDir", "KDQ", "Directory di lavoro Quintar"},
    {"ArchivioTovaris", "KDQ", "Archivio"},
    {"ArchivioQuintar", "KDQ", "ArchivioQuintar"},
    {"StSpecLST", "LST", "Report\\STSPEC.LST"},
    {"StProdLST", "LST", "Report\\STPROD.LST"},
    {"StFormLST", "LST", "Report\\STFORM.LST"},
    {"StFabbrLST", "LST", "Report\\STFABBR.LST"},
    {"StFabbrPreLST", "LST", "Report\\STFABBRPRE.LST"},
    {"StTraccLST", "LST", "Report\\STTRACC.LST"},
};

const QStringList A = {QStringLiteral("BinDir"), QStringLiteral("Archivio")};
const QStringList B = {QStringLiteral("Archivio")};

template <typename T> std::function<FinestraSessione*(TTabXForm*)> schermata() {
    return [](TTabXForm* s) -> FinestraSessione* { return new T(s); };
}

// The code-table editor on one of its tables.
std::function<FinestraSessione*(TTabXForm*)> tabellaCodici(int finestra, int griglia,
                                                           const QString& tabella) {
    return [=](TTabXForm* s) -> FinestraSessione* {
        return new TIniBaseForm(s, finestra, griglia, tabella);
    };
}

std::vector<DescrizioneSchermata> costruisciTabella() {
    std::vector<DescrizioneSchermata> t;
    auto riga = [&t](DescrizioneSchermata d) { t.push_back(std::move(d)); };

    riga({.nome = QStringLiteral("ShowFornitoForm"),
          .parametri = A,
          .crea = schermata<TFornitoForm>()});
    riga({.nome = QStringLiteral("ShowMaterForm"),
          .parametri = A + QStringList{QStringLiteral("StSpecLST"), QStringLiteral("TempDir")},
          .crea = schermata<TMaterForm>()});
    riga({.nome = QStringLiteral("ShowImballiForm"),
          .parametri =
              A + QStringList{QStringLiteral("DirectoryImmagini"), QStringLiteral("TempDir")},
          .crea = schermata<TImballiForm>()});
    riga({.nome = QStringLiteral("ShowProdottiForm"),
          .parametri =
              A + QStringList{QStringLiteral("StProdLST"), QStringLiteral("DirectoryImmagini"),
                              QStringLiteral("TempDir")},
          .crea = schermata<TProdottiForm>()});
    riga({.nome = QStringLiteral("ShowFormulForm"),
          .parametri = A + QStringList{QStringLiteral("StFormLST"), QStringLiteral("TempDir")},
          .crea = schermata<TFormulForm>()});
    riga({.nome = QStringLiteral("ShowImpoVarieForm"),
          .entrataD = false,
          .parametri = B,
          .crea = schermata<TImpoVarieForm>()});
    // data exchange with the host archive and maintenance
    riga({.nome = QStringLiteral("ShowSincroTovarisForm"),
          .entrataD = false,
          .parametri = B + QStringList{QStringLiteral("ArchivioTovaris")},
          .db2 = QStringLiteral("ArchivioTovaris"),
          .crea = schermata<TSincroTovarisForm>()});
    riga({.nome = QStringLiteral("ShowAcqCliQuintarForm"),
          .entrataD = false,
          .parametri = B + QStringList{QStringLiteral("ArchivioTovaris")},
          .db2 = QStringLiteral("ArchivioTovaris"),
          .crea = schermata<TAcqCliQuintarForm>()});
    riga({.nome = QStringLiteral("ShowRegolarizzaForm"),
          .entrataD = false,
          .parametri = B,
          .crea = schermata<TRegolarizzaForm>()});
    riga({.nome = QStringLiteral("ShowSincroPrezziForm"),
          .parametri = B,
          .crea = schermata<TSincroPrezziForm>()});
    riga({.nome = QStringLiteral("ShowCParForm"), .parametri = B, .crea = schermata<TCParForm>()});
    // the products card opens as a look-up from here
    riga({.nome = QStringLiteral("ShowCostiForm"),
          .parametri =
              A + QStringList{QStringLiteral("StProdLST"), QStringLiteral("StFormLST"),
                              QStringLiteral("DirectoryImmagini"), QStringLiteral("TempDir")},
          .crea = schermata<TCostiForm>()});
    riga({.nome = QStringLiteral("ShowLiqPolvForm"),
          .parametri =
              A + QStringList{QStringLiteral("NomePathProgrammaWord"), QStringLiteral("TempDir"),
                              QStringLiteral("StFabbrLST"), QStringLiteral("StFabbrPreLST")},
          .archivioTovarisDaTabX = true,
          .crea = schermata<TLiqPolvForm>()});
    // commitment and posting: connection 1 is the host's archive, 2 the company's
    const QStringList impegno = {QStringLiteral("ArchivioQuintar"), QStringLiteral("LavoroDir"),
                                 QStringLiteral("ArchivioTovaris")};
    riga({.nome = QStringLiteral("ShowImpFabbrForm"),
          .entrataD = false,
          .parametri = impegno,
          .db1 = QStringLiteral("ArchivioTovaris"),
          .db2 = QStringLiteral("ArchivioQuintar"),
          .crea = schermata<TImpegnoFabbricazioniForm>()});
    riga({.nome = QStringLiteral("ShowProdFabbrForm"),
          .entrataD = false,
          .parametri = impegno,
          .db1 = QStringLiteral("ArchivioTovaris"),
          .db2 = QStringLiteral("ArchivioQuintar"),
          .crea = schermata<TProduzioneFabbricazioniForm>()});
    // the weighing monitor opens the weighing and host archives itself
    riga({.nome = QStringLiteral("ShowIdPesateForm"),
          .entrataD = false,
          .parametri = B,
          .crea = schermata<TIdPesateForm>()});
    riga({.nome = QStringLiteral("ShowStoPesateForm"),
          .entrataD = false,
          .parametri = B,
          .crea = schermata<TStoPesateForm>()});
    // lot traceability: the company archive, and the host's for serials and orders
    riga({.nome = QStringLiteral("ShowTracciabilitaForm"),
          .parametri = A + QStringList{QStringLiteral("TempDir"), QStringLiteral("ArchivioTovaris"),
                                       QStringLiteral("StTraccLST")},
          .db2 = QStringLiteral("ArchivioTovaris"),
          .crea = schermata<TTracciabilitaForm>()});
    riga({.nome = QStringLiteral("ShowPrAcquaForm"),
          .parametri = B,
          .crea = schermata<TPrAcquaForm>()});

    // configuration tables
    riga({.nome = QStringLiteral("ShowCategMPForm"),
          .parametri = A,
          .didascaliaLancio = QStringLiteral("Impostazione Categorie Materie prime - Ditta: "),
          .crea = tabellaCodici(15, 18, QStringLiteral("CATEGMP"))});
    riga({.nome = QStringLiteral("ShowSRischiForm"),
          .parametri = A,
          .didascaliaLancio = QStringLiteral("Impostazione Simbologia rischi - Ditta: "),
          .crea = tabellaCodici(16, 19, QStringLiteral("SRISCHI"))});
    riga({.nome = QStringLiteral("ShowSpecForm"),
          .parametri = A,
          .impostaFormati = false,
          .didascaliaLancio = QStringLiteral("Impostazione Specifiche - Ditta: "),
          .crea = tabellaCodici(17, 20, QStringLiteral("TABSPEC"))});
    riga({.nome = QStringLiteral("ShowValutazForm"),
          .parametri = A,
          .impostaFormati = false,
          .didascaliaLancio = QStringLiteral("Impostazione Valutazioni - Ditta: "),
          .crea = tabellaCodici(18, 21, QStringLiteral("VALUTAZ"))});
    riga({.nome = QStringLiteral("ShowTipiImballiForm"),
          .parametri = A,
          .didascaliaLancio = QStringLiteral("Impostazione Tipi Imballi - Ditta: "),
          .crea = tabellaCodici(19, 22, QStringLiteral("TPIMBA"))});
    riga({.nome = QStringLiteral("ShowIniConfForm"),
          .parametri = A,
          .crea = schermata<TIniConfForm>()});
    riga({.nome = QStringLiteral("ShowIniRiempForm"),
          .parametri = A,
          .crea = schermata<TIniRiempForm>()});
    riga({.nome = QStringLiteral("ShowIniCConfForm"),
          .parametri = A,
          .crea = schermata<TIniCConfForm>()});
    riga({.nome = QStringLiteral("ShowIniCCon1Form"),
          .parametri = A,
          .crea = schermata<TIniCCon1Form>()});
    riga({.nome = QStringLiteral("ShowConvCapConfForm"),
          .entrataD = false,
          .parametri = B,
          .crea = schermata<TConvCapConfForm>()});
    riga({.nome = QStringLiteral("ShowIniCatPrForm"),
          .parametri = A,
          .crea = schermata<TIniCatPrForm>()});
    riga({.nome = QStringLiteral("ShowCodADRForm"),
          .parametri = A,
          .crea = schermata<TCodADRForm>()});
    riga({.nome = QStringLiteral("ShowCodADR2017Form"),
          .parametri = A,
          .crea = schermata<TCodADR2017Form>()});

    // data exchange and maintenance
    riga({.nome = QStringLiteral("ShowConvForm"),
          .parametri = B + QStringList{QStringLiteral("LavoroDir")},
          .crea = schermata<TConvForm>()});
    return t;
}

} // namespace

const std::vector<DescrizioneSchermata>& tabellaSchermate() {
    static const std::vector<DescrizioneSchermata> t = costruisciTabella();
    return t;
}

const DescrizioneSchermata* trovaSchermata(const QString& nome) {
    for (const auto& d : tabellaSchermate()) {
        if (d.nome == nome) {
            return &d;
        }
    }
    return nullptr;
}

FinestraSessione* LanciaSchermata(const DescrizioneSchermata& d, int utente,
                                  std::optional<int> finestra) {
    if (d.impostaFormati) {
        Formati::impostaItaliani();
    }
    const QString dir = percorsi::dirEseguibile();
    // the session is the screen's once the screen exists; until then a
    // failure frees it here
    auto proprietaria = std::make_unique<TTabXForm>();
    TTabXForm* sessione = proprietaria.get();
    sessione->SetUserPerNum(utente);
    const QString ut = QString::number(utente);
    // the user's parameters the screen takes, read in one go
    QStringList daLeggere;
    for (const auto& o : kOrigini) {
        if (QLatin1String(o.tipo) != QLatin1String("LST") &&
            d.parametri.contains(QLatin1String(o.nome))) {
            daLeggere << QString::fromUtf8(o.sorgente);
        }
    }
    const QHash<QString, QString> letti =
        daLeggere.isEmpty() ? QHash<QString, QString>() : sessione->CaricaParametri(daLeggere);
    for (const QString& nome : d.parametri) {
        for (const auto& o : kOrigini) {
            if (nome != QLatin1String(o.nome)) {
                continue;
            }
            const QString tipo = QString::fromLatin1(o.tipo);
            const QString testo =
                tipo == QLatin1String("LST")
                    ? sessione->GetV(QStringLiteral("BinDir")) + QString::fromUtf8(o.sorgente)
                    : letti.value(QString::fromUtf8(o.sorgente));
            sessione->Inserisci(tipo, nome, {}, testo, {}, {}, {}, {}, ut);
        }
    }
    sessione->IBDatabase1.disconnect();
    sessione->ConnettiDatabase1(d.db1);
    if (d.archivioTovarisDaTabX) {
        // an archive path that cannot be read is an error, not an empty path
        // (an archive that did not open has been reported already)
        const QString archivio =
            sessione->IBDatabase1.connected()
                ? sessione->LeggiValoreTabX(QStringLiteral("ArchivioTovaris"), false)
                      .value_or(QString())
                : QString();
        sessione->Inserisci(QStringLiteral("KDQ"), QStringLiteral("ArchivioTovaris"), {}, archivio,
                            {}, {}, {}, {}, ut);
    }
    if (!d.db2.isEmpty()) {
        sessione->IBDatabase2.disconnect();
        sessione->ConnettiDatabase2(d.db2);
    }
    FinestraSessione* f = d.crea(sessione);
    proprietaria.release();
    f->PossiedeSessione = true;
    const QString icona = percorsi::suDisco(dir + QStringLiteral("Grafica\\QUINTAR.ICO"));
    if (QFileInfo::exists(icona)) {
        f->setWindowIcon(QIcon(icona));
    }
    if (!d.didascaliaLancio.isEmpty()) {
        f->setWindowTitle(d.didascaliaLancio + sessione->Ditta);
    }
    if (finestra) {
        sessione->ScritturaHandleDiApertura(*finestra, qint64(f->winId()));
    }
    f->show();
    return f;
}

int lanciaDaEntrata(const char* nome, int utente, std::optional<int> finestra) {
    try {
        if (const DescrizioneSchermata* d = trovaSchermata(QString::fromLatin1(nome))) {
            LanciaSchermata(*d, utente, finestra);
        }
    } catch (const DbError& e) {
        // the host gets 0 all the same: the user is told why no window came
        qWarning("Quintar: apertura di %s non riuscita: %s", nome, qPrintable(e.messaggio()));
        Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio());
    } catch (const std::exception& e) {
        qWarning("Quintar: apertura di %s non riuscita: %s", nome, e.what());
        Messaggi::errore(QStringLiteral("Errore interno: ") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        qWarning("Quintar: apertura di %s non riuscita", nome);
    }
    return 0;
}

} // namespace quintar
