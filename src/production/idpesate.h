// The weighing monitor: the weighings of the station, newest first, polled
// and classified every TempoPollingPesate ms, the status picture, and the
// assignment of the selected open weighing to its batch line by the serial
// scanned from the material's package; the status dialog.
#pragma once

#include "production/pesate.h"
#include "session/db.h"
#include "ui/finestra.h"

#include <QDialog>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTableView;
class QTimer;

namespace quintar {

class GrigliaModello;

// "Modifica status": the four statuses, the weighing's own selected.
class TModStatusPesataForm : public QDialog {
    Q_OBJECT
public:
    explicit TModStatusPesataForm(const QString& attuale, QWidget* owner = nullptr);

    QComboBox* ComboStatus;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    QString stato() const;
};

class TIdPesateForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TIdPesateForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TIdPesateForm() override;

    static constexpr int kSituazioneFinestra = 38;

    QTableView* GridPesate;
    GrigliaModello* Modello;
    QCheckBox* CheckNoAnnullate;
    QCheckBox* CheckNoChiuse;
    QPushButton* ButtonBarcodeLottoMateria;
    QLineEdit* EditBarcodeLottoMateria;
    QLabel* ImageVintel;
    // A poll that keeps failing (the archive out of reach) is said here.
    QLabel* LabelStato;
    QPushButton* ButtonChiudi;
    QMenu* MenuPesate;
    QAction* VoceModificaStatus;
    QTimer* TimerPolling;

    // The polling interval in ms.
    int intervallo() const { return intervallo_; }
    // The list is shown (the weighing archive is connected).
    bool listaAttiva() const { return sondaggio_ != nullptr; }
    pesate::Sondaggio* sondaggio() const { return sondaggio_.get(); }

    // A tick of TimerPolling: one poll (unless an assignment or a status
    // change is under way) and the list shown again when it reports a change.
    void TimerPollingTimer();
    // The list read again, keeping the selected weighing when still listed,
    // and the picture for the open weighings.
    void MostraElenco();
    // Enter in "Barcode lotto-materia".
    void EditBarcodeLottoMateriaInvio();
    // "Modifica status" of the list's menu.
    void ModificaStatus();

    // The selected weighing, as listed; none without a list or a row.
    std::optional<pesate::PesataElencata> pesataSelezionata() const;
    // The picture shown ("segnalazione1.jpg" / "segnalazione2.jpg"), empty
    // when hidden.
    QString immagine() const { return immagine_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void apriArchivi();
    // Ends what killed processes left in limbo between the company archive
    // and the weighings' or the host's.
    void recuperaSospese();
    bool collegaArchivio(Database& db, const QString& parametro, const QString& nome,
                         bool (TTabXForm::*connetti)(const QString&));
    void sonda();
    // After an assignment or a status change, whatever the outcome.
    void riprendi();
    void mostraImmagine(bool aperte);
    void mostra(const pesate::Esito& e);

    std::unique_ptr<pesate::Sondaggio> sondaggio_;
    Query QueryPesate;
    int intervallo_ = 200;
    bool occupato_ = false;
    bool colonneImpostate_ = false;
    QString immagine_;
    QString ultimoErrore_;
};

} // namespace quintar
