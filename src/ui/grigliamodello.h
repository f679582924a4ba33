// The rows of a grid's query, fetched from the open cursor a block at a time
// as the view scrolls: only the rows fetched so far are kept.
#pragma once

#include "session/db.h"

#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <map>
#include <vector>

namespace quintar {

class GrigliaModello : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GrigliaModello(QObject* parent = nullptr);

    // The query whose cursor feeds the model (not owned).
    void setQuery(Query* q);
    Query* query() const { return query_; }

    // Takes the fields of the freshly opened query and its first block of
    // rows; true when the fields differ from the ones shown before.
    bool ricarica();
    // Forgets every row (the query was closed or failed to open).
    void svuota();

    int DimensioneBlocco = 256;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    // Qt calls it while the view scrolls: a database error here stops the
    // reading (the rows read so far stay) and is announced by erroreLettura,
    // queued, never thrown into the event loop.
    void fetchMore(const QModelIndex& parent) override;
    // The cursor failed: no more rows come until the next open.
    bool letturaInterrotta() const { return interrotta_; }

    const std::vector<InfoCampo>& campi() const { return campi_; }
    // The first row (from 0) whose field `nome` satisfies `uguale`, reading
    // further rows as needed; -1 when none does.
    int cerca(const QString& nome, const std::function<bool(const QString&)>& uguale);
    int indiceCampo(const QString& nome) const;
    // The stored value of a row (null QVariant outside the rows fetched).
    QVariant valore(int riga, int colonna) const;
    Campo campo(int riga, int colonna) const;

    // Column titles and colours: invalid colours mean the grid's own.
    QString titolo(int colonna) const;
    void setTitolo(int colonna, const QString& titolo);
    void setColoreColonna(int colonna, const QColor& c);
    QColor coloreColonna(int colonna) const;
    void setColoreTitolo(int colonna, const QColor& c);
    QColor coloreTitolo(int colonna) const;
    void azzeraColoriTitoli();
    // Titles as the fields name them, no colours.
    void aspettoProgettato();

    // Rows a screen marks (chosen for a run, say) are drawn in these colours,
    // over any column colour.
    std::function<bool(int riga)> RigaEvidenziata;
    QColor ColoreEvidenziata = QColor(0xFF, 0xEC, 0x8C);
    QColor ColoreTestoEvidenziata = QColor(Qt::black);
    // The marks changed: the rows are drawn again.
    void evidenziazioneCambiata();

signals:
    // The database refused the next rows (its message).
    void erroreLettura(const QString& messaggio);

private:
    Query* query_ = nullptr;
    std::vector<InfoCampo> campi_;
    std::vector<std::vector<QVariant>> righe_;
    std::vector<QString> titoli_;
    std::vector<QColor> coloriColonne_;
    std::vector<QColor> coloriTitoli_;
    bool interrotta_ = false;
};

} // namespace quintar
