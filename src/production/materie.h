// Page "Materie" of the manufacturing sheet: the batch's component lines
// with what each weighs, on which scale and within which tolerance, the
// softened water that completes the recipe, the weighing recorded for the
// selected line and the batch's consumption lines. Lines can be integrated
// with an analogue material, substituted by one, or an integration removed;
// consumption lines are added by package serial and deleted.
#pragma once

#include "production/fabbricazione.h"
#include "session/db.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quintar {

class TCSDGrid;

// Typing "." in the edit enters the decimal comma; only digits and one comma
// are accepted.
void virgolaDecimale(QLineEdit* e);

// The batch's component lines as the page lists them (every column the
// dialogs show); only line `riga` when given.
QStringList sqlComponentiLotto(const LottoCorrente& l, std::optional<qint64> riga = {});

// The analogue code of a batch line's material and the line's percentage, read
// in `q`'s transaction; nothing when the line is not there.
struct RigaGruppo {
    QString analogo; // empty when the material has none
    QString materia;
    double percentuale = 0;
};
std::optional<RigaGruppo> leggiRigaGruppo(Query& q, const LottoCorrente& l, qint64 riga);

class PaginaMaterie : public QWidget {
    Q_OBJECT
public:
    explicit PaginaMaterie(SchedaFabbricazione& scheda, QWidget* parent = nullptr);
    ~PaginaMaterie() override;

    // The page is entered, or the batch changed while it is shown: the lists
    // are reopened, the computed fields emptied and scheduled.
    void aggiorna();
    // The page is left: its lists are closed and its timers stopped.
    void chiudi();
    // The buttons the page enables while it is shown.
    QList<QPushButton*> pulsanti() const;

    TCSDGrid* GridCompon;
    TCSDGrid* GridConsumi;

    // The selected line.
    QLineEdit* EditNRiga;
    QLineEdit* EditCodice;
    QLineEdit* EditDescrizione;
    QLineEdit* EditPercentuale;
    QLineEdit* EditCodiceInterno; // "Lotto o Analisi"
    QCheckBox* CheckCritico;      // "Ver."
    QLineEdit* EditQuantita;      // "Quant. Kg"
    QLineEdit* EditBilancia;
    QLineEdit* EditTolleranza;
    QLineEdit* EditAnaloghi;
    QLineEdit* EditPesata;
    QLineEdit* EditSerialePesata;
    QLineEdit* EditLottoPesata;
    QLineEdit* EditCodiceFornitore;
    QLineEdit* EditFornitore;

    // The batch.
    QLineEdit* EditQuantitaTotale;
    QLineEdit* EditDensita; // "Kg/L"
    QLineEdit* EditTolleranzaDensita;
    QLineEdit* EditPH;
    QLineEdit* EditTolleranzaPH;
    QLineEdit* EditPercentualeAcqua;
    QLineEdit* EditQuantitaAcqua;
    QLineEdit* EditTolleranzaAcqua;
    QLineEdit* EditBilanciaAcqua;

    QPushButton* ButtonIntegraFabbCompon;
    QPushButton* ButtonSostituisciFabbCompon;
    QPushButton* ButtonEliminaFabbCompon;
    QPushButton* ButtonIntegraConsumi;
    QPushButton* ButtonEliminaConsumi;

    // Single shot: the line's figures (1 s), the batch's figures (1 s), the
    // weighing of the line's serial (200 ms), the supplier's name (200 ms).
    QTimer* TimerRiga;
    QTimer* TimerLotto;
    QTimer* TimerPesata;
    QTimer* TimerFornitore;

    void calcolaRiga();
    void calcolaLotto();
    void leggiPesata();
    void leggiFornitore();

    void ButtonIntegraFabbComponClick();
    void ButtonSostituisciFabbComponClick();
    void ButtonEliminaFabbComponClick();
    void ButtonIntegraConsumiClick();
    void ButtonEliminaConsumiClick();

    // Reopens the component lines on line `riga` (else on row `posizione`,
    // else the first); the consumption lines on line `consumo`.
    void riapriComponenti(std::optional<qint64> riga = {}, int posizione = 0);
    void riapriConsumi(std::optional<qint64> consumo = {}, int posizione = 0);

    // The line number of the selected component / consumption line.
    std::optional<qint64> rigaCorrente() const;
    std::optional<qint64> consumoCorrente() const;

private:
    void mostraRiga();
    void svuotaLotto();
    // Checks the selected line before a change of its group; its reading
    // when it can be changed.
    std::optional<RigaGruppo> rigaModificabile(std::optional<qint64> riga);
    // Runs `f` on the main transaction and commits; on failure rolls back,
    // shows `messaggio` + the database's text and returns false.
    bool inUnaVolta(const QString& messaggio, const std::function<void()>& f);
    // Integrates the group of line `riga`, which the list showed as `vista`.
    void integra(qint64 riga, const QString& codice, double percentuale, const RigaGruppo& vista);

    SchedaFabbricazione& scheda_;
    Query QueryCompon;
    Query QueryConsumi;
    Query QueryAux;       // changes, main transaction
    Query QueryControllo; // look-ups, check transaction
    QString serialeMostrato_;
    QString fornitoreMostrato_;
    std::optional<qint64> rigaMostrata_;
};

} // namespace quintar
