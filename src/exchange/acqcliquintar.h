// Acquisition of customers from a text file into the host ERP archive: the
// whole file is first compared with the archive (what is new, what has
// another name there), then, as the user chooses, the new subjects are added
// and the changed ones overwritten. A subject that cannot be written is
// reported and the others are kept.
#pragma once

#include "exchange/fileclienti.h"
#include "session/db.h"
#include "ui/finestra.h"
#include "ui/lavorazione.h"

#include <QHash>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quintar {

class TAcqCliQuintarForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TAcqCliQuintarForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TAcqCliQuintarForm() override;

    QPushButton* ButtonFile;
    QLineEdit* EditFile;
    QCheckBox* CheckSaltaPrimaRiga;
    QPushButton* ButtonAcquisisci;
    QPushButton* ButtonChiudi;
    QPlainTextEdit* MemoRiepilogo;
    QWidget* PanelProgresso;
    QLabel* LabelProgresso;
    QProgressBar* BarraProgresso;

    // The whole acquisition, analysis and writes, on the host archive.
    Transaction TransazioneTovaris;

    void ButtonFileClick();
    void ButtonAcquisisciClick();

    // What the analysis finds of a subject of the file.
    struct Stato {
        bool presente = false;
        bool modificato = false;
        // A delivery address whose code is another subject's: never written.
        bool conflitto = false;
    };
    struct Totali {
        qint64 clienti = 0, clientiNuovi = 0, clientiModificati = 0;
        qint64 destinatari = 0, destinatariNuovi = 0, destinatariModificati = 0;
    };

private:
    // A row of CLIENTI as the analysis needs it.
    struct InArchivio {
        QString ragioneSociale;
        QString intestatario;
    };
    void acquisisci(const QString& file);
    Totali analizza(const clienti::ContenutoFile& c, Riepilogo& memo, Lavorazione& lavoro);
    void scrivi(const clienti::ContenutoFile& c, bool sovrascrivi, Riepilogo& memo,
                Lavorazione& lavoro);

    QHash<QString, InArchivio> archivio_;
    std::vector<Stato> statoClienti_;
    std::vector<std::vector<Stato>> statoDestinatari_;
};

} // namespace quintar
