// The query window of a grid: the rows of the grid's table, with their
// export to a CSV file or a spreadsheet.
#pragma once

#include "session/db.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace quintar {

class GrigliaModello;

class TGridQueryForm : public QWidget {
    Q_OBJECT
public:
    TGridQueryForm(Database* db, const QString& tabella, QWidget* owner = nullptr);
    ~TGridQueryForm() override;

    QString DirectoryBin;
    int Utente = 0;
    QString DittaCorrente;

    QTableView* GridQuery;
    QPushButton* ButtonEsporta;
    QPushButton* ButtonEsportaExcel;
    QPushButton* ButtonChiudi;
    QLabel* LabelTabella;

    // Opens the table; false (after the error box) when it cannot be read.
    bool apri();
    GrigliaModello* modello() const { return modello_; }
    QString tabella() const { return tabella_; }
    // Writes every row of the table to the file; false after the error box.
    bool esportaCSV(const QString& file);
    // Asks the file and exports.
    void Esporta();
    // The same rows, in the columns as shown, to a spreadsheet file; the
    // file written, empty when none was.
    QString EsportaExcel();

private:
    QStringList sql() const;

    Database* db_;
    QString tabella_;
    Transaction tr_;
    std::unique_ptr<Query> query_;
    GrigliaModello* modello_;
};

} // namespace quintar
