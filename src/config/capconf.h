// Package capacities: those of manufacturing batches (CAPCONF), each with its
// equivalent product capacity, and those of products (CAPCON1) with their
// sales units; the search that picks a product capacity.
#pragma once

#include "ui/scheda.h"

#include <QDialog>

class QComboBox;

namespace quintar {

class TRIniCCon1Form : public QDialog {
    Q_OBJECT
public:
    explicit TRIniCCon1Form(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TRIniCCon1Form() override;

    Transaction Transazione;
    Query QueryIniCCon1;
    QLineEdit* EditCodice;
    QLineEdit* EditDescrizione;
    QPushButton* ButtonCodice;
    QPushButton* ButtonDescrizione;
    QPushButton* ButtonRitorna;
    QPushButton* ButtonChiudi;
    TCSDGrid* GridIniCCon1;
    QTimer* TimerRicerca;

    // The list for what the two edits hold.
    void Cerca();
    QStringList sqlRicerca() const;
    QString codiceScelto() const;
    void done(int r) override;
};

class TIniCConfForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TIniCConfForm(TTabXForm* sessione, QWidget* owner = nullptr);
    // Picks the equivalent product capacity in the search.
    void ButtonCodiceEquivalenteInProdottiClick();
};

class TIniCCon1Form : public SchedaBase {
    Q_OBJECT
public:
    explicit TIniCCon1Form(TTabXForm* sessione, QWidget* owner = nullptr);

    QComboBox* ComboUDMConf;
    QComboBox* ComboUDMContenutoPz;
    QPushButton* ButtonUDMContenutoPz;

protected:
    bool validaCampi() override;
    void riempiEditazione() override;

private:
    void mostraUnitaPezzo(bool visibile);
    void consultazioneCambiata();
};

} // namespace quintar
