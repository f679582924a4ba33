// The archived sheet of a batch: a frozen copy of the manufacturing sheet
// (STOFAB) with its component lines (STOMAT), the weighing quantities and
// the critical components' results as they were computed when it was taken,
// made once on request and shown by TStoFabForm.
#pragma once

#include "production/fabbricazione.h"
#include "session/db.h"

#include <QDialog>
#include <functional>
#include <optional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace quintar {

class TCSDGrid;
class TTabXForm;

namespace produzione {

struct SchedaDaArchiviare {
    LottoCorrente lotto;
    bool storicoAggiornato = false; // FABBRIC.STORICOAGGIORNATO is "1"
    // "Q.tà cont." of the header; none when the capacity is unknown
    std::optional<double> numeroContenitori;
    QString cartellaErrori; // where Errore.sql goes after a failure
};

enum class EsitoArchivio {
    Esistente, // the batch had its archived sheet already
    Creato,
    Rinuncia, // No to the question
    Errore    // rolled back and shown
};

// Runs a write on the sheet's main transaction started afresh and commits it
// (SchedaFabbricazione::scriviSuDatiCorrenti).
using Scrittura = std::function<void(const std::function<void()>&)>;

// Finds the batch's archived sheet or, after the question, writes it: the
// sheet, its lines and the batch's flag in one unit through `scrivi`. `q`
// runs on the transaction `scrivi` writes on.
EsitoArchivio archiviaScheda(Query& q, const Scrittura& scrivi, const SchedaDaArchiviare& a,
                             QWidget* finestra);

// Of the archived lines (line number, material), the one that holds the
// critical values of formulation line `riga` of material `materia`: the same
// line with that material, else the first line of that material not taken
// yet (integrated lines are renumbered); none when the batch has no line of
// that material.
std::optional<qint64> rigaArchiviata(const std::vector<std::pair<qint64, QString>>& righe,
                                     qint64 riga, const QString& materia,
                                     const std::vector<qint64>& prese);

} // namespace produzione

// "Scheda Storico fabbricazioni": the archived sheet of a batch, read only.
class TStoFabForm : public QDialog {
    Q_OBJECT
public:
    TStoFabForm(TTabXForm* sessione, const LottoCorrente& lotto, QWidget* owner = nullptr);
    ~TStoFabForm() override;

    enum Pagina { Pagina1, Materie, CompCritici, Qualita };

    QTabBar* TabSetStoFab;
    QStackedWidget* Pagine;
    QLineEdit* EditCodice;
    QLineEdit* EditProdotto;
    QLineEdit* EditData;
    QLineEdit* EditLotto;
    TCSDGrid* GridStoMat;
    TCSDGrid* GridCritici;
    QPlainTextEdit* MemoComposizione;
    QLineEdit* EditAccettabilita;
    QPushButton* ButtonChiudi;

    // The edit of a column of the archived sheet (page 1 and the batch's
    // figures on "Materie"); nullptr when the viewer has none.
    QLineEdit* campo(const QString& colonna) const;
    // The internal code of the archived sheet shown; none when not found.
    std::optional<qint64> codiceInterno() const { return codice_; }

    void mostraPagina(int pagina);
    void done(int r) override;

private:
    void leggiScheda(const LottoCorrente& lotto);
    void mostraCritico();
    void titoli(TCSDGrid* g, const std::vector<std::pair<const char*, const char*>>& colonne);

    TTabXForm* sessione_;
    Transaction transazione_;
    Query querySchede_;
    Query queryMat_;
    Query queryCritici_;
    std::optional<qint64> codice_;
    QHash<QString, QLineEdit*> campi_;
    QWidget* postoCritici_;
    QWidget* postoQualita_;
};

} // namespace quintar
