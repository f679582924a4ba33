// Packaging procedures: numbered operating texts of each filling machine,
// with a version history of every text (STOCONFEZ), and the dialog that
// chooses the machine and number of a new procedure.
#pragma once

#include "ui/scheda.h"
#include "ui/storico.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTabBar;

namespace quintar {

class TNConfezForm : public QDialog {
    Q_OBJECT
public:
    // The machine lists: codes and descriptions in the same order.
    TNConfezForm(TTabXForm* sessione, const QStringList& codici, const QStringList& descrizioni,
                 QWidget* owner = nullptr);

    Transaction Transazione;
    Query QueryAux;
    QPushButton* ButtonRiempitrice;
    QPushButton* ButtonNumeroProgressivo;
    QComboBox* ComboRiempitrice;
    QComboBox* ComboCodRiempitrice;
    QLineEdit* EditNumeroProgressivo;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;

    // Selects the machine and proposes the number after its last procedure.
    void scegliRiempitrice(const QString& codice);
    QString codiceScelto() const;
    void ComboRiempitriceChange();
    void done(int r) override;

private:
    bool verifica();
};

class TIniConfForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TIniConfForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TIniConfForm() override;

    static const DescrizioneStorico kStorico;

    QTabBar* TabSetConfez;
    QStackedWidget* NoteBookConfez;
    QComboBox* ComboCodRiempitrice;
    QComboBox* ComboRiempitrice;
    QLineEdit* EditRiempitrice2;
    QLabel* LabelVersione;
    QTimer* TimerStorico;
    TCSDGrid* GridStorico;
    QPushButton* ButtonStoricoChiudi;
    Transaction TransazioneStorico;
    Query QueryStorico;

    // Description of a machine code; empty when the machine is not listed.
    QString descrizioneRiempitrice(const QString& codice) const;
    // The key as history statements want it (number with a point).
    QStringList chiaveStorico() const;

protected:
    QStringList chiediNuovaChiave() override;
    void dopoNuovo() override;
    void riempiEditazione() override;
    void dopoAggiornamento() override;
    void eliminaRecord(const QString& codice) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void caricaRiempitrici();
    void mostraRiempitriceInConsultazione();
    void aggiungiVersione();
    void creaStorico();
    void cambioPagina(int pagina);
    void rigaCambiata();
    void mostraVersione();
    QStringList sqlStorico() const;
};

} // namespace quintar
