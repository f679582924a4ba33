#include "ui/grigliamodello.h"

namespace quintar {

GrigliaModello::GrigliaModello(QObject* parent) : QAbstractTableModel(parent) {}

void GrigliaModello::setQuery(Query* q) {
    beginResetModel();
    query_ = q;
    campi_.clear();
    righe_.clear();
    interrotta_ = false;
    endResetModel();
}

bool GrigliaModello::ricarica() {
    beginResetModel();
    righe_.clear();
    interrotta_ = false;
    const bool stessiCampi = query_ && query_->fields().size() == campi_.size() &&
                             std::equal(campi_.begin(), campi_.end(), query_->fields().begin(),
                                        [](const InfoCampo& a, const InfoCampo& b) {
                                            return a.nome == b.nome && a.origine() == b.origine();
                                        });
    if (!stessiCampi) {
        campi_ = query_ ? query_->fields() : std::vector<InfoCampo>{};
        titoli_.clear();
        coloriColonne_.clear();
        coloriTitoli_.clear();
        for (const InfoCampo& c : campi_) {
            titoli_.push_back(c.nome);
        }
        coloriColonne_.resize(campi_.size());
        coloriTitoli_.resize(campi_.size());
    }
    endResetModel();
    if (canFetchMore({})) {
        fetchMore({});
    }
    return !stessiCampi;
}

void GrigliaModello::evidenziazioneCambiata() {
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
    }
}

void GrigliaModello::svuota() {
    beginResetModel();
    righe_.clear();
    interrotta_ = false;
    endResetModel();
}

int GrigliaModello::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(righe_.size());
}

int GrigliaModello::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(campi_.size());
}

bool GrigliaModello::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !interrotta_ && query_ && query_->isOpen() && !query_->eof() &&
           query_->fieldCount() == int(campi_.size());
}

void GrigliaModello::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    std::vector<std::vector<QVariant>> blocco;
    blocco.reserve(size_t(std::max(1, DimensioneBlocco)));
    try {
        while (int(blocco.size()) < std::max(1, DimensioneBlocco) && !query_->eof()) {
            blocco.push_back(query_->rowValues());
            query_->next();
        }
    } catch (const DbError& e) {
        interrotta_ = true;
        // after the rows already read: the view is in the middle of a layout
        QMetaObject::invokeMethod(
            this, [this, m = e.messaggio()] { emit erroreLettura(m); }, Qt::QueuedConnection);
    }
    if (blocco.empty()) {
        return;
    }
    const int primo = int(righe_.size());
    beginInsertRows({}, primo, primo + int(blocco.size()) - 1);
    for (auto& r : blocco) {
        righe_.push_back(std::move(r));
    }
    endInsertRows();
}

int GrigliaModello::cerca(const QString& nome, const std::function<bool(const QString&)>& uguale) {
    const int colonna = indiceCampo(nome);
    for (int r = 0; colonna >= 0; ++r) {
        while (r >= rowCount() && canFetchMore({})) {
            fetchMore({});
        }
        if (r >= rowCount()) {
            break;
        }
        const Campo c = campo(r, colonna);
        if (uguale(c.isNull() ? QString() : c.asString())) {
            return r;
        }
    }
    return -1;
}

int GrigliaModello::indiceCampo(const QString& nome) const {
    for (size_t i = 0; i < campi_.size(); ++i) {
        if (campi_[i].nome.compare(nome, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

QVariant GrigliaModello::valore(int riga, int colonna) const {
    if (riga < 0 || size_t(riga) >= righe_.size() || colonna < 0 ||
        size_t(colonna) >= righe_[size_t(riga)].size()) {
        return {};
    }
    return righe_[size_t(riga)][size_t(colonna)];
}

Campo GrigliaModello::campo(int riga, int colonna) const {
    if (colonna < 0 || size_t(colonna) >= campi_.size()) {
        return {};
    }
    return Campo(&campi_[size_t(colonna)], valore(riga, colonna));
}

QVariant GrigliaModello::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const size_t c = size_t(index.column());
    if (c >= campi_.size()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole: {
        const QVariant v = valore(index.row(), index.column());
        if (v.isNull() || !v.isValid()) {
            return QString();
        }
        if (campi_[c].tipo == TipoCampo::Binario) {
            return QStringLiteral("(BLOB)");
        }
        QString s = campo(index.row(), index.column()).asString();
        if (campi_[c].tipo == TipoCampo::Memo) {
            // a grid cell shows the beginning of a memo on one line
            s = s.left(255);
            s.replace('\r', ' ');
            s.replace('\n', ' ');
        }
        return s;
    }
    case Qt::EditRole:
        return valore(index.row(), index.column());
    case Qt::TextAlignmentRole:
        switch (campi_[c].tipo) {
        case TipoCampo::Intero:
        case TipoCampo::Decimale:
        case TipoCampo::Virgola:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    case Qt::BackgroundRole:
        if (RigaEvidenziata && RigaEvidenziata(index.row())) {
            return ColoreEvidenziata;
        }
        if (coloriColonne_[c].isValid()) {
            return coloriColonne_[c];
        }
        return {};
    case Qt::ForegroundRole:
        if (RigaEvidenziata && RigaEvidenziata(index.row())) {
            return ColoreTestoEvidenziata;
        }
        return {};
    default:
        return {};
    }
}

QVariant GrigliaModello::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section < 0 || size_t(section) >= campi_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return titoli_[size_t(section)];
    }
    if (role == Qt::UserRole) {
        return campi_[size_t(section)].nome; // the field, whatever the title
    }
    if (role == Qt::ForegroundRole && coloriTitoli_[size_t(section)].isValid()) {
        return coloriTitoli_[size_t(section)];
    }
    return {};
}

Qt::ItemFlags GrigliaModello::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString GrigliaModello::titolo(int colonna) const {
    return colonna >= 0 && size_t(colonna) < titoli_.size() ? titoli_[size_t(colonna)] : QString();
}

void GrigliaModello::setTitolo(int colonna, const QString& titolo) {
    if (colonna < 0 || size_t(colonna) >= titoli_.size() || titoli_[size_t(colonna)] == titolo) {
        return;
    }
    titoli_[size_t(colonna)] = titolo;
    emit headerDataChanged(Qt::Horizontal, colonna, colonna);
}

void GrigliaModello::setColoreColonna(int colonna, const QColor& c) {
    if (colonna < 0 || size_t(colonna) >= coloriColonne_.size() ||
        coloriColonne_[size_t(colonna)] == c) {
        return;
    }
    coloriColonne_[size_t(colonna)] = c;
    if (!righe_.empty()) {
        emit dataChanged(index(0, colonna), index(int(righe_.size()) - 1, colonna),
                         {Qt::BackgroundRole});
    }
}

QColor GrigliaModello::coloreColonna(int colonna) const {
    return colonna >= 0 && size_t(colonna) < coloriColonne_.size() ? coloriColonne_[size_t(colonna)]
                                                                   : QColor();
}

void GrigliaModello::setColoreTitolo(int colonna, const QColor& c) {
    if (colonna < 0 || size_t(colonna) >= coloriTitoli_.size()) {
        return;
    }
    coloriTitoli_[size_t(colonna)] = c;
    emit headerDataChanged(Qt::Horizontal, colonna, colonna);
}

QColor GrigliaModello::coloreTitolo(int colonna) const {
    return colonna >= 0 && size_t(colonna) < coloriTitoli_.size() ? coloriTitoli_[size_t(colonna)]
                                                                  : QColor();
}

void GrigliaModello::azzeraColoriTitoli() {
    for (QColor& c : coloriTitoli_) {
        c = QColor();
    }
    if (!campi_.empty()) {
        emit headerDataChanged(Qt::Horizontal, 0, int(campi_.size()) - 1);
    }
}

void GrigliaModello::aspettoProgettato() {
    for (size_t i = 0; i < campi_.size(); ++i) {
        titoli_[i] = campi_[i].nome;
        coloriColonne_[i] = QColor();
        coloriTitoli_[i] = QColor();
    }
    if (!campi_.empty()) {
        emit headerDataChanged(Qt::Horizontal, 0, int(campi_.size()) - 1);
        if (!righe_.empty()) {
            emit dataChanged(index(0, 0), index(int(righe_.size()) - 1, int(campi_.size()) - 1));
        }
    }
}

} // namespace quintar
