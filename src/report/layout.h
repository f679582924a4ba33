// The layout of a data sheet, read from and written to a ".LST" project file.
//
// FORMAT OF A ".LST" FILE
// Plain UTF-8 text, one setting per line, grouped in sections as in an INI
// file. Lines starting with ';' or '#' are comments; blank lines are ignored.
// Lengths are millimetres (decimal point), font sizes points.
//
//   [Pagina]                       the sheet
//   Formato=A4                     A3, A4, A5, Letter, Legal, or WxH in mm ("100x150")
//   Orientamento=Verticale         Verticale or Orizzontale
//   Margini=15,12,15,12            left, top, right, bottom
//   Carattere=DejaVu Sans,9        default font: family, size
//
//   [Intestazione]                 header band, at the top of every page
//   [Chiusura]                     closing band, once after the list
//   [Piede]                        footer band, at the bottom of every page
//   Altezza=30                     band height
//   Elemento=<kind>; key=value; key=value ...
//
// Element kinds and their keys (x, y, l = width, a = height, relative to the
// band's top-left corner, in every kind):
//   Testo        testo (with {placeholders}), carattere ("family,size"),
//                dimensione (size only), grassetto=si, corsivo=si,
//                allinea=sinistra|centro|destra, bordo=si, sfondo=#rrggbb,
//                colore=#rrggbb
//   Linea        from (x,y) to (x+l,y+a); spessore (mm), colore
//   Riquadro     rectangle; spessore, colore, sfondo
//   Immagine     file: a picture path (absolute, or relative to the ".LST"
//                folder), placeholders allowed
//   CodiceBarre  Code 128 symbol of valore (placeholders: "{SERIALE}");
//                testo=no hides the human-readable line
// Every element and every kind of list row may carry se=<condition>: it is
// drawn only when the condition holds.
//
//   [Elenco]                       the list of detail records
//   Carattere=DejaVu Sans,8        font of the rows
//   Griglia=si                     rule under each row
//   SfondoTitoli=#dfe6ee           background of the column titles
//   SaltoPagina=SALTOPAGINA=1      a new page before the first record where
//                                  the condition turns true
//   Raggruppa=si                   between two such page breaks, every row of
//                                  the first kind, then every row of the next
//                                  (lists handed side by side in the same
//                                  records print one after the other)
//
//   [Righe <name>]                 one kind of list row; a record prints one
//                                  row of every kind whose condition holds,
//                                  in the order of the sections
//   Condizione=COMPON.MOSTRA=1     empty: every record
//   Altezza=5                      least row height (text wraps and grows it)
//   Titolo=Componenti              caption printed before the first row of
//                                  this kind on each page
//   Titoli=si                      column titles after the caption
//   Colonna=titolo=Codice; campo=CODICE; larghezza=25; allinea=sinistra; formato=...
//
// Column keys: titolo, larghezza, allinea; campo=<name> shows one value, with
// formato: for numbers "0", "0.00", "#,##0.000" (',' asks for thousands
// separators; the separators printed are the process-wide ones), for dates a
// pattern such as "dd/MM/yyyy"; or testo=<text with placeholders>.
// tipo=codicebarre draws the value as a Code 128 symbol. grassetto=si.
//
// Placeholders: {NAME} or {NAME:format}; NAME is a field of the current
// record or a variable. {#PAGINA}, {#PAGINE}, {#DATA} and {#ORA} are the
// page number, the page count and the print date and time. A name nobody
// declared prints as {?NAME}. "{{" prints "{". In key=value lists "\;" is a
// semicolon, "\n" a line break, "\\" a backslash.
//
// Conditions: NAME=value, NAME<>value, NAME (set: not empty, not 0, not
// null), !NAME; several joined by " & " must all hold. Numbers compare by
// value ("1" = "1.0"); #PAGINA and the other # names may be tested too.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quintar::report {

// An ordered list of key=value settings; keys compare without case.
class Proprieta {
public:
    QString valore(const QString& chiave, const QString& predefinito = {}) const;
    double numero(const QString& chiave, double predefinito = 0) const;
    bool si(const QString& chiave, bool predefinito = false) const;
    bool ha(const QString& chiave) const;
    void imposta(const QString& chiave, const QString& valore);
    void togli(const QString& chiave);
    QList<QPair<QString, QString>> voci;

    // "key=value; key=value" with the escapes of the format.
    static Proprieta leggiElenco(const QString& testo);
    QString scriviElenco() const;
};

struct Elemento {
    QString tipo; // Testo, Linea, Riquadro, Immagine, CodiceBarre
    Proprieta p;
};

struct Banda {
    double altezza = 0;
    std::vector<Elemento> elementi;
};

struct Righe {
    QString nome;
    Proprieta p; // Condizione, Altezza, Titolo, Titoli
    std::vector<Proprieta> colonne;
};

struct Layout {
    Proprieta pagina;
    Banda intestazione;
    Banda chiusura;
    Banda piede;
    Proprieta elenco;
    std::vector<Righe> righe;

    // Lines the reader did not understand are reported in avvisi and skipped.
    static Layout leggi(const QString& testo, QStringList* avvisi = nullptr);
    QString scrivi() const;
    // Empty with a reason in errore when the file is missing or unreadable.
    static std::optional<Layout> carica(const QString& file, QString* errore = nullptr);
    // Written whole or not at all.
    bool salva(const QString& file, QString* errore = nullptr) const;

    // Every {NAME} and campo=NAME the layout refers to, without the #names.
    QStringList nomiUsati() const;
};

// Placeholder names of a text, in order.
QStringList segnaposti(const QString& testo);

} // namespace quintar::report
