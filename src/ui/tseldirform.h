// Folder choice: a drive (file-system roots and mount points) and its folders.
#pragma once

#include <QDialog>
#include <optional>

class QComboBox;
class QFileSystemModel;
class QTreeView;
class QPushButton;

namespace quintar {

class TSelDirForm : public QDialog {
    Q_OBJECT
public:
    explicit TSelDirForm(QWidget* owner = nullptr);
    QComboBox* DriveComboBox;
    QTreeView* DirectoryListBox;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
    // The folder selected in the list (the drive when none is).
    QString Directory() const;
    void impostaDirectory(const QString& dir);
    // Runs the dialog over `owner` from the folder of a stored path: the
    // folder chosen with a trailing separator, nothing on Cancel.
    static std::optional<QString> scegli(QWidget* owner, const QString& iniziale);

private:
    void mostraUnita(const QString& radice);
    QFileSystemModel* modello_;
};

} // namespace quintar
