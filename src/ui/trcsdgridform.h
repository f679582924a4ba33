// The search dialog of the grid: text (or date range) typed on the current
// column, with search type, Upper and order; "Generica" searches all columns.
#pragma once

#include "ui/tcsdgrid.h"

#include <QDialog>
#include <QGroupBox>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quintar {

// A titled group of exclusive choices.
class GruppoScelte : public QGroupBox {
    Q_OBJECT
public:
    GruppoScelte(const QString& titolo, const QStringList& voci, QWidget* parent = nullptr);
    int indice() const;
    void setIndice(int i);
    // Shows only the first n choices.
    void limita(int n);
    QRadioButton* voce(int i) const;

private:
    QButtonGroup* gruppo_;
    QList<QRadioButton*> voci_;
};

class TRCSDGridForm : public QDialog {
    Q_OBJECT
public:
    enum class Esito { Chiuso, Invio, Esc };

    TRCSDGridForm(TCSDGrid* griglia, ClasseCampo classe, const QString& titoloColonna);

    QLabel* Label1;
    QLineEdit* EditStringa;
    GruppoScelte* EditTipoRicerca;
    QCheckBox* EditUpper;
    GruppoScelte* EditOrdinamento;
    QCheckBox* EditGenerica;
    QPushButton* ButtonAggRete;
    QPushButton* ButtonEsegui;
    QLineEdit* EditData1;
    QLineEdit* EditData2;
    QLabel* Label2;

    ParametriRicerca parametri() const;
    void impostaScelte(int tipo, bool upper, int ordinamento);
    ClasseCampo classe() const { return classe_; }
    Esito esito() const { return esito_; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void genericaCambiata(bool attiva);
    void testoModificato(const QString& t);

    TCSDGrid* griglia_;
    ClasseCampo classe_;
    QString didascalia_;
    Esito esito_ = Esito::Chiuso;
    bool generica_ = false;
};

// The warning before the layout reset.
class TAvCSDGrForm : public QDialog {
    Q_OBJECT
public:
    explicit TAvCSDGrForm(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
};

} // namespace quintar
