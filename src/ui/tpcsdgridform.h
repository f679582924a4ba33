// Customisation of a grid's layout: titles, colours and visibility of the
// columns as stored for the user, and the reset to the designed layout.
#pragma once

#include "session/db.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace quintar {

class TCSDGrid;

class TPCSDGridForm : public QDialog {
    Q_OBJECT
public:
    explicit TPCSDGridForm(TCSDGrid* griglia);
    ~TPCSDGridForm() override;

    enum Colonna { ColNomeCampo, ColNomeColonna, ColColoreColonna, ColVisibile, ColPosizione };

    QTableWidget* GridPersonalizza;
    QPushButton* ButtonCambiaColore;
    QPushButton* ButtonColoreDefault;
    QPushButton* ButtonAspettoBase;
    QPushButton* ButtonChiudi;

    // Reads the grid's stored rows.
    void carica();
    void CambiaColore();
    void ColoreDefault();
    void AspettoBase();

    void done(int r) override;

private:
    void impostaColore(int riga, qint64 colore);
    bool salvaRiga(int riga);

    TCSDGrid* griglia_;
    Transaction tr_;
    bool caricando_ = false;
};

} // namespace quintar
