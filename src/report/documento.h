// A data sheet laid out in pages: the layout filled with the records of a
// print job, drawn on any paint device (PDF, printer, image).
#pragma once

#include "report/lavorostampa.h"
#include "report/layout.h"

#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QSet>
#include <QSizeF>
#include <memory>

class QPainter;
class QPrinter;

namespace quintar::report {

class Documento {
public:
    // cartella: where relative picture paths of the layout are looked up.
    Documento(Layout layout, DatiStampa dati, QString cartella = {});
    ~Documento();
    Documento(const Documento&) = delete;
    Documento& operator=(const Documento&) = delete;

    int pagine() const;
    const Layout& layout() const { return layout_; }
    const DatiStampa& dati() const { return dati_; }
    // Paper size in millimetres, orientation applied.
    QSizeF dimensioneMm() const;
    QPageLayout impaginazione() const;

    // Draws page n (0-based); the painter's origin is the paper's corner.
    void disegna(QPainter& p, int pagina, double pxPerMm) const;
    QImage immagine(int pagina, double dpi) const;
    bool scriviPdf(const QString& file, const QString& titolo = {},
                   QString* errore = nullptr) const;
    // Pages da..a (1-based, inclusive; 0 = to the end) on a configured printer.
    bool stampa(QPrinter& stampante, int da = 1, int a = 0) const;

    // Names the layout refers to that no handler declared.
    QStringList nomiSconosciuti() const;

private:
    struct Impl;
    Layout layout_;
    DatiStampa dati_;
    std::unique_ptr<Impl> d_;
};

} // namespace quintar::report
