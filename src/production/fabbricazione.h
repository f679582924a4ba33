// What the pages of the manufacturing sheet see of the sheet: the session,
// its transactions, the host's archive and the batch shown. The sheet owns
// the batch list; a page reads the current batch from here, reopens its own
// lists when told, and asks the sheet to read the list again after it
// changed what the list shows.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace quintar {

class Database;
class TTabXForm;
class Transaction;
class TCSDGrid;

// The batch of the list's current row (FABBRIC).
struct LottoCorrente {
    QString codice; // CODICE, the product's code; empty when the list is empty
    QDate data;     // DATA
    QString lotto;  // LOTTO
    // ID: converted batches may have none until they are regularised.
    std::optional<qint64> id;
    QString nomeProdotto;                  // NOMEPRODOTTO
    QString unitaMisura;                   // UNITAMISURA: "", "Litri", "Kg"
    std::optional<double> quantita;        // QUANTITALITRI
    std::optional<double> densitaProdotto; // DENSITAPRODOTTO

    bool vuoto() const { return codice.isEmpty(); }
};

class SchedaFabbricazione {
public:
    virtual ~SchedaFabbricazione() = default;

    virtual TTabXForm* sessione() const = 0;
    // The window the pages' messages and dialogs belong to.
    virtual QWidget* finestra() = 0;
    // The company archive and the sheet's three transactions on it: main
    // (lists and every change), check (look-ups), history (versions).
    virtual Database* archivio() = 0;
    virtual Transaction& transazionePrincipale() = 0;
    virtual Transaction& transazioneControllo() = 0;
    virtual Transaction& transazioneStorico() = 0;
    // The host's archive (serials, lots, supplier names); nullptr when it is
    // not connected.
    virtual Database* archivioErp() = 0;

    virtual LottoCorrente lottoCorrente() const = 0;
    // The user's profile only lets them look.
    virtual bool solaLettura() const = 0;

    // A change written on the main transaction started afresh and committed
    // with it, tried once more when another user's write collides with it;
    // a failure is thrown (SchedaBase::scriviSuDatiCorrenti). The batch list
    // is read again afterwards.
    virtual void scriviSuDatiCorrenti(const std::function<void()>& scrivi) = 0;
    // The batch list read again from a fresh main transaction and put back
    // on the current batch (after a change committed by a page).
    virtual void rileggiLotto() = 0;
    // A grid of a page set up as the sheet's lists are (project, user,
    // folder and company), with its situation and table.
    virtual void configuraGriglia(TCSDGrid* g, int situazione, const QString& tabella) = 0;
};

// "   (A.CODICEFABBRICAZIONE='…')", "   AND(A.DATAFABBRICAZIONE='mm/dd/yyyy')",
// "   AND(A.LOTTOFABBRICAZIONE='…')" for the batch's lines (alias with its
// point, "A." or empty), or "   (A.CODICEFABBRICAZIONE IS NULL)" for no
// batch. The values reach the statement as safe literals.
QStringList condizioneLineeLotto(const LottoCorrente& l, const QString& alias);

} // namespace quintar
