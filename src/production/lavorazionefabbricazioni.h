// The screens that move chosen batches of one state into the host ERP
// archive (commitment as customer orders, posting as production records):
// the list of the batches of that state with F3 / double click to choose,
// the company parameters the run uses, and the run itself as one unit over
// both archives. Connection 1 is the ERP archive, connection 2 the company
// archive.
#pragma once

#include "production/dovute.h"
#include "session/db.h"
#include "ui/finestra.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quintar {

class SelezioneGriglia;
class TCSDGrid;
class TransazioneDistribuita;

// A company parameter shown in an edit while the screen is open.
struct ParametroLavorazione {
    QString edit;       // EditCliente
    QString didascalia; // "Cliente": the caption of its button (which does nothing)
    QString pulsante;   // ButtonCliente
    QString parametro;  // IMPFABBRCLIENTE
    QString colonnaErp; // the ORDC column the value goes into (its width bounds the edit)
};

struct DescrizioneLavorazione {
    QString nome;   // ImpegnoFabbricazioniForm: objectName, and the caption before the company
    QString titolo; // the label above the list
    QString stato;  // the state of the batches listed ("DA FARE")
    int situazioneGriglia = 0;
    int situazioneFinestra = 0;
    QString azione;     // "&Impegna"
    QString nomeAzione; // ButtonImpegna
    std::vector<ParametroLavorazione> parametri;
    // Shown when a run fails: nothing of it was written.
    QString testoAnnullato;
};

// A batch chosen in the list.
struct Fabbricazione {
    QString codice;
    QDate data;
    QString lotto;
    // "FM004 del 10/02/2025 lotto L25041"
    QString testo() const;
};

class LavorazioneFabbricazioni : public FinestraSessione {
    Q_OBJECT
public:
    LavorazioneFabbricazioni(TTabXForm* sessione, DescrizioneLavorazione d,
                             QWidget* owner = nullptr);
    ~LavorazioneFabbricazioni() override;

    const DescrizioneLavorazione& descrizione() const { return d_; }

    QLabel* LabelTitolo;
    TCSDGrid* GridFabbr;
    // the batches of the list a standing hold covers, with the hold
    QLabel* LabelBlocchi;
    SelezioneGriglia* Selezione;
    QPushButton* ButtonAzione;
    QPushButton* ButtonChiudi;
    // The edit of a parameter, by objectName.
    QLineEdit* parametro(const QString& edit) const;

    // The chosen batches, in the order they were chosen.
    std::vector<Fabbricazione> scelte() const;
    // Runs the screen's operation (the button); errors become messages.
    void esegui();

    // Called between the two phases of a run's commit, when every archive
    // has promised its part and none has committed it yet.
    std::function<void()> DopoPreparazione;

protected:
    Database& erp() const;
    Database& azienda() const;
    // The run of the selection; the base has made sure nothing is in limbo.
    virtual void lavora(const std::vector<Fabbricazione>& scelte) = 0;

    // Runs a statement with bound values. A database error keeps the
    // statement, with its values, in Errore.sql and shows `errore` (by
    // default "Errore " followed by the statement); when `attese` is given,
    // another number of rows touched shows `diverse`. False on either.
    bool eseguiFrase(Query& q, const QStringList& sql, std::vector<QVariant> valori,
                     std::optional<int> attese = std::nullopt, const QString& diverse = {},
                     const QString& errore = {});
    // False, after telling the hold and its reason, when a standing hold
    // covers the batch; read on the run's own transaction t.
    bool liberaDaBlocchi(Transaction& t, const Fabbricazione& f);
    // Keeps the statement in Errore.sql of the working folder.
    void registraFrase(const QStringList& sql, const std::vector<QVariant>& valori) const;
    // Ends a run: when every write went through, what it owes (`passi`) is
    // recorded with it, the unit commits in both archives (the description
    // names the run in each archive's record of it) and what it owes is made;
    // otherwise it is rolled back and told. concludi follows in every case.
    void concludiRun(TransazioneDistribuita& unita, bool riuscita,
                     const std::vector<dovute::Passo>& passi, const QString& descrizione);
    // After a run: the selection emptied, the list read again, "Completato"
    // when the run succeeded.
    void concludi(bool riuscita);

    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // Ends the runs a process left between prepare and commit; false (after
    // the message) when that could not be done.
    bool recuperaRunInLimbo();
    // Makes what earlier runs still owe, telling what was made; false when
    // something is left (after the messages).
    bool completaRimasti();
    void caricaParametri();
    void salvaParametri();
    void riapriLista();
    void mostraBlocchi();

    DescrizioneLavorazione d_;
    Transaction TransazioneLista;
    Query QueryFabbr;
    std::vector<QLineEdit*> edit_;
    // The parameters as read at opening: at closing only those the user
    // changed are written, and only while they are still so stored.
    std::vector<std::optional<QString>> letti_;
    bool limboRisolto_ = false;
    bool posizioneCaricata_ = false;
};

// A value typed in a parameter edit, as bound: NULL when empty.
QVariant testoONull(const QString& s);

} // namespace quintar
