// The print-options dialog and the preview window of a data sheet.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;

namespace quintar::report {

class Documento;

struct OpzioniStampa {
    QString stampante; // empty: preview
    int copie = 1;
    int da = 1; // first page, 1-based
    int a = 0;  // last page, 0 = to the end
};

// Destination (preview or an installed printer), copies and pages.
class OpzioniStampaDialog : public QDialog {
    Q_OBJECT
public:
    // soloStampanti: no preview entry (printing from the preview itself).
    explicit OpzioniStampaDialog(QWidget* parent = nullptr, bool soloStampanti = false,
                                 int pagine = 0);
    OpzioniStampa opzioni() const;
    // Chooses the destination by printer name (empty: preview).
    bool scegli(const QString& stampante);

    QComboBox* ComboDestinazione;
    QSpinBox* SpinCopie;
    QRadioButton* RadioTutte;
    QRadioButton* RadioPagine;
    QSpinBox* SpinDa;
    QSpinBox* SpinA;

private:
    bool soloStampanti_;
};

// Prints a document on an installed printer; false after an error box.
bool stampaSuStampante(const Documento& doc, const OpzioniStampa& o, const QString& titolo,
                       QWidget* parent);

// The pages of a document with navigation, zoom, printing and PDF export.
class AnteprimaStampa : public QDialog {
    Q_OBJECT
public:
    AnteprimaStampa(const Documento& doc, const QString& titolo, const QString& filePdf,
                    QWidget* parent = nullptr);

    int pagina() const { return pagina_; } // 0-based
    void vaiA(int pagina);
    double zoom() const { return zoom_; }
    void impostaZoom(double fattore);
    // Copies the document into a PDF file; false after an error box.
    bool esportaPdf(const QString& file);
    // The document shown, with the values the screen handed for it.
    const Documento& documento() const { return doc_; }

    QPushButton* ButtonPrima;
    QPushButton* ButtonPrecedente;
    QPushButton* ButtonSuccessiva;
    QPushButton* ButtonUltima;
    QComboBox* ComboZoom;
    QPushButton* ButtonStampa;
    QPushButton* ButtonEsporta;
    QPushButton* ButtonChiudi;
    QLabel* LabelPagina;

private:
    void mostra();
    void stampa();
    void esporta();
    const Documento& doc_;
    QString titolo_;
    QString filePdf_;
    QScrollArea* area_;
    QLabel* foglio_;
    int pagina_ = 0;
    double zoom_ = 1.0;
};

} // namespace quintar::report
