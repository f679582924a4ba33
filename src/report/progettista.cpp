#include "report/progettista.h"

#include "session/formati.h"

#include "report/documento.h"
#include "session/messaggi.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quintar::report {

namespace {

const char* kNomiBande[] = {"Intestazione", "Chiusura", "Piede"};
const QStringList kTipiElemento = {"Testo", "Linea", "Riquadro", "Immagine", "CodiceBarre"};

Proprieta elementoNuovo(const QString& tipo) {
    Proprieta p;
    p.voci = {{"x", "0"}, {"y", "0"}, {"l", "60"}, {"a", tipo == "Linea" ? "0" : "8"}};
    if (tipo == "Testo") {
        p.imposta("testo", "Testo");
    } else if (tipo == "Immagine") {
        p.imposta("file", "");
        p.imposta("a", "20");
    } else if (tipo == "CodiceBarre") {
        p.imposta("valore", "");
        p.imposta("a", "15");
    }
    return p;
}

QString descrizioneElemento(const Elemento& e) {
    const QString d = e.p.valore("testo", e.p.valore("valore", e.p.valore("file")));
    return e.tipo + (d.isEmpty() ? QString() : QStringLiteral(": ") + d.left(40));
}

QString descrizioneColonna(const Proprieta& col) {
    return QStringLiteral("Colonna %1").arg(col.valore("titolo", col.valore("campo")));
}

} // namespace

Progettista::Progettista(Layout layout, DatiStampa dati, QString file, const QString& titolo,
                         QWidget* parent)
    : QDialog(parent), layout_(std::move(layout)), dati_(std::move(dati)), file_(std::move(file)) {
    setObjectName(QStringLiteral("ProgettistaReport"));
    setWindowTitle(titolo);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(1280, 860);
    if (!dati_.variabili) {
        dati_.variabili = std::make_shared<Valori>();
    }

    AlberoNomi = new QTreeWidget(this);
    AlberoNomi->setObjectName(QStringLiteral("AlberoNomi"));
    AlberoNomi->setHeaderLabels({QStringLiteral("Nome"), QStringLiteral("Valore")});
    AlberoNomi->setToolTip(
        QStringLiteral("Doppio clic: inserisce {NOME} nella proprietà selezionata"));
    auto ramo = [this](const QString& titolo, const Valori& v) {
        auto* radice = new QTreeWidgetItem(AlberoNomi, {titolo});
        for (const QString& n : v.nomi()) {
            const Dato* d = v.trova(n);
            new QTreeWidgetItem(radice, {n, d->nullo() ? QString() : d->testo.left(60)});
        }
        radice->setExpanded(true);
    };
    ramo(QStringLiteral("Variabili"), *dati_.variabili);
    ramo(QStringLiteral("Campi"), dati_.record.empty() ? Valori() : dati_.record.front().campi);
    AlberoNomi->resizeColumnToContents(0);

    AlberoLayout = new QTreeWidget(this);
    AlberoLayout->setObjectName(QStringLiteral("AlberoLayout"));
    AlberoLayout->setHeaderLabels({QStringLiteral("Layout")});
    TabellaProprieta = new QTableWidget(0, 2, this);
    TabellaProprieta->setObjectName(QStringLiteral("TabellaProprieta"));
    TabellaProprieta->setHorizontalHeaderLabels(
        {QStringLiteral("Proprietà"), QStringLiteral("Valore")});
    TabellaProprieta->horizontalHeader()->setStretchLastSection(true);
    TabellaProprieta->verticalHeader()->hide();

    auto bottone = [this](const QString& testo, const char* nome) {
        auto* b = new QPushButton(testo, this);
        b->setObjectName(QLatin1String(nome));
        b->setAutoDefault(false);
        return b;
    };
    auto* bAggiungi = bottone(QStringLiteral("&Aggiungi"), "ButtonAggiungi");
    auto* bElimina = bottone(QStringLiteral("&Elimina"), "ButtonElimina");
    auto* bSu = bottone(QStringLiteral("S&u"), "ButtonSu");
    auto* bGiu = bottone(QStringLiteral("&Giù"), "ButtonGiu");
    auto* bProprieta = bottone(QStringLiteral("Nuova &proprietà"), "ButtonNuovaProprieta");
    ButtonSalva = bottone(QStringLiteral("&Salva"), "ButtonSalva");
    ButtonChiudi = bottone(QStringLiteral("Ch&iudi"), "ButtonChiudi");

    auto* menu = new QMenu(this);
    for (const QString& t : kTipiElemento) {
        menu->addAction(t, this, [this, t] { aggiungi(t); });
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Colonna"), this,
                    [this] { aggiungi(QStringLiteral("Colonna")); });
    menu->addAction(QStringLiteral("Righe"), this, [this] { aggiungi(QStringLiteral("Righe")); });
    bAggiungi->setMenu(menu);

    Anteprima = new QLabel;
    Anteprima->setObjectName(QStringLiteral("Anteprima"));
    Anteprima->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* area = new QScrollArea(this);
    area->setWidget(Anteprima);
    area->setWidgetResizable(true);
    area->setBackgroundRole(QPalette::Dark);
    LabelSconosciuti = new QLabel(this);
    LabelSconosciuti->setObjectName(QStringLiteral("LabelSconosciuti"));
    LabelSconosciuti->setStyleSheet(QStringLiteral("color: #b00000"));
    LabelSconosciuti->setWordWrap(true);

    auto* sinistra = new QWidget(this);
    auto* vs = new QVBoxLayout(sinistra);
    vs->setContentsMargins(0, 0, 0, 0);
    vs->addWidget(new QLabel(QStringLiteral("Variabili e campi dichiarati"), this));
    vs->addWidget(AlberoNomi);
    auto* centro = new QWidget(this);
    auto* vc = new QVBoxLayout(centro);
    vc->setContentsMargins(0, 0, 0, 0);
    vc->addWidget(AlberoLayout, 3);
    auto* comandi = new QHBoxLayout;
    for (QPushButton* b : {bAggiungi, bElimina, bSu, bGiu}) {
        comandi->addWidget(b);
    }
    vc->addLayout(comandi);
    vc->addWidget(TabellaProprieta, 2);
    vc->addWidget(bProprieta);
    auto* destra = new QWidget(this);
    auto* vd = new QVBoxLayout(destra);
    vd->setContentsMargins(0, 0, 0, 0);
    vd->addWidget(area, 1);
    vd->addWidget(LabelSconosciuti);
    auto* split = new QSplitter(this);
    split->addWidget(sinistra);
    split->addWidget(centro);
    split->addWidget(destra);
    split->setStretchFactor(2, 1);
    auto* basso = new QHBoxLayout;
    basso->addWidget(new QLabel(QFileInfo(file_).fileName(), this));
    basso->addStretch();
    basso->addWidget(ButtonSalva);
    basso->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addWidget(split, 1);
    v->addLayout(basso);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(300);
    connect(timer_, &QTimer::timeout, this, &Progettista::aggiornaAnteprima);
    connect(AlberoLayout, &QTreeWidget::currentItemChanged, this, &Progettista::mostraProprieta);
    connect(TabellaProprieta, &QTableWidget::cellChanged, this, &Progettista::cellaCambiata);
    connect(AlberoNomi, &QTreeWidget::itemDoubleClicked, this, &Progettista::inserisciNome);
    connect(bElimina, &QPushButton::clicked, this, &Progettista::elimina);
    connect(bSu, &QPushButton::clicked, this, [this] { sposta(-1); });
    connect(bGiu, &QPushButton::clicked, this, [this] { sposta(1); });
    connect(bProprieta, &QPushButton::clicked, this, [this] {
        TabellaProprieta->setRowCount(TabellaProprieta->rowCount() + 1);
        TabellaProprieta->setCurrentCell(TabellaProprieta->rowCount() - 1, 0);
        TabellaProprieta->editItem(TabellaProprieta->currentItem());
    });
    connect(ButtonSalva, &QPushButton::clicked, this, &Progettista::salva);
    connect(ButtonChiudi, &QPushButton::clicked, this, &Progettista::reject);

    riempiAlbero(QStringLiteral("P"));
    aggiornaAnteprima();
}

Progettista::~Progettista() = default;

void Progettista::riempiAlbero(const QString& selezione) {
    riempiendo_ = true;
    AlberoLayout->clear();
    auto nodo = [](QTreeWidgetItem* padre, QTreeWidget* albero, const QString& testo,
                   const QString& chiave) {
        auto* i =
            padre ? new QTreeWidgetItem(padre, {testo}) : new QTreeWidgetItem(albero, {testo});
        i->setData(0, Qt::UserRole, chiave);
        return i;
    };
    nodo(nullptr, AlberoLayout, QStringLiteral("Pagina"), QStringLiteral("P"));
    const Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    auto banda = [&](int b) {
        auto* i = nodo(nullptr, AlberoLayout, QLatin1String(kNomiBande[b]),
                       QStringLiteral("B:%1").arg(b));
        for (size_t e = 0; e < bande[b]->elementi.size(); ++e) {
            nodo(i, nullptr, descrizioneElemento(bande[b]->elementi[e]),
                 QStringLiteral("E:%1:%2").arg(b).arg(e));
        }
    };
    banda(0);
    auto* elenco = nodo(nullptr, AlberoLayout, QStringLiteral("Elenco"), QStringLiteral("L"));
    for (size_t r = 0; r < layout_.righe.size(); ++r) {
        auto* i = nodo(elenco, nullptr, QStringLiteral("Righe ") + layout_.righe[r].nome,
                       QStringLiteral("R:%1").arg(r));
        for (size_t c = 0; c < layout_.righe[r].colonne.size(); ++c) {
            nodo(i, nullptr, descrizioneColonna(layout_.righe[r].colonne[c]),
                 QStringLiteral("C:%1:%2").arg(r).arg(c));
        }
    }
    banda(1);
    banda(2);
    AlberoLayout->expandAll();
    riempiendo_ = false;
    if (!selezione.isEmpty() && !seleziona(selezione)) {
        seleziona(QStringLiteral("P"));
    }
}

bool Progettista::seleziona(const QString& percorso) {
    for (QTreeWidgetItemIterator it(AlberoLayout); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == percorso) {
            AlberoLayout->setCurrentItem(*it);
            mostraProprieta();
            return true;
        }
    }
    return false;
}

Proprieta* Progettista::proprieta(QString* tipo) {
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    if (!i) {
        return nullptr;
    }
    const QStringList k = i->data(0, Qt::UserRole).toString().split(':');
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    const QString s = k.value(0);
    if (tipo) {
        *tipo = s;
    }
    const int a = k.value(1).toInt();
    const int b = k.value(2).toInt();
    if (s == "P") {
        return &layout_.pagina;
    }
    if (s == "L") {
        return &layout_.elenco;
    }
    if (s == "E" && a >= 0 && a < 3 && b >= 0 && b < int(bande[a]->elementi.size())) {
        return &bande[a]->elementi[size_t(b)].p;
    }
    if (s == "R" && a >= 0 && a < int(layout_.righe.size())) {
        return &layout_.righe[size_t(a)].p;
    }
    if (s == "C" && a >= 0 && a < int(layout_.righe.size()) && b >= 0 &&
        b < int(layout_.righe[size_t(a)].colonne.size())) {
        return &layout_.righe[size_t(a)].colonne[size_t(b)];
    }
    return nullptr;
}

void Progettista::mostraProprieta() {
    if (riempiendo_) {
        return;
    }
    riempiendo_ = true;
    TabellaProprieta->setRowCount(0);
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    if (!i) {
        riempiendo_ = false;
        return;
    }
    const QStringList k = i->data(0, Qt::UserRole).toString().split(':');
    QList<QPair<QString, QString>> righe;
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    if (k[0] == "B") {
        // shown as it is typed back: the decimal comma
        righe.append(
            {QStringLiteral("Altezza"), Formati::numeroInTesto(bande[k[1].toInt()]->altezza)});
    } else if (k[0] == "E") {
        righe.append(
            {QStringLiteral("Tipo"), bande[k[1].toInt()]->elementi[size_t(k[2].toInt())].tipo});
    } else if (k[0] == "R") {
        righe.append({QStringLiteral("Nome"), layout_.righe[size_t(k[1].toInt())].nome});
    }
    if (Proprieta* p = proprieta()) {
        righe += p->voci;
    }
    TabellaProprieta->setRowCount(int(righe.size()));
    for (int r = 0; r < righe.size(); ++r) {
        auto* chiave = new QTableWidgetItem(righe[r].first);
        auto* valore = new QTableWidgetItem(righe[r].second);
        const bool speciale = r == 0 && (k[0] == "B" || k[0] == "E" || k[0] == "R");
        if (speciale) {
            chiave->setFlags(chiave->flags() & ~Qt::ItemIsEditable);
        }
        TabellaProprieta->setItem(r, 0, chiave);
        TabellaProprieta->setItem(r, 1, valore);
    }
    riempiendo_ = false;
}

void Progettista::impostaProprieta(const QString& chiave, const QString& valore) {
    for (int r = 0; r < TabellaProprieta->rowCount(); ++r) {
        QTableWidgetItem* k = TabellaProprieta->item(r, 0);
        if (k && k->text().compare(chiave, Qt::CaseInsensitive) == 0) {
            TabellaProprieta->item(r, 1)->setText(valore);
            return;
        }
    }
    const int r = TabellaProprieta->rowCount();
    riempiendo_ = true;
    TabellaProprieta->setRowCount(r + 1);
    TabellaProprieta->setItem(r, 0, new QTableWidgetItem(chiave));
    riempiendo_ = false;
    TabellaProprieta->setItem(r, 1, new QTableWidgetItem(valore));
}

void Progettista::cellaCambiata(int, int) {
    if (riempiendo_) {
        return;
    }
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    if (!i) {
        return;
    }
    const QString chiaveNodo = i->data(0, Qt::UserRole).toString();
    const QStringList k = chiaveNodo.split(':');
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    Proprieta* p = proprieta();
    Proprieta nuove;
    for (int r = 0; r < TabellaProprieta->rowCount(); ++r) {
        const QString chiave = TabellaProprieta->item(r, 0)
                                   ? TabellaProprieta->item(r, 0)->text().trimmed()
                                   : QString();
        const QString valore =
            TabellaProprieta->item(r, 1) ? TabellaProprieta->item(r, 1)->text() : QString();
        if (chiave.isEmpty()) {
            continue;
        }
        if (r == 0 && k[0] == "B") {
            // typed like every number: a comma for decimals; anything else keeps the height
            if (const auto altezza = Formati::leggiNumero(valore)) {
                bande[k[1].toInt()]->altezza = std::max(0.0, *altezza);
            }
        } else if (r == 0 && k[0] == "E") {
            bande[k[1].toInt()]->elementi[size_t(k[2].toInt())].tipo = valore.trimmed();
        } else if (r == 0 && k[0] == "R") {
            layout_.righe[size_t(k[1].toInt())].nome = valore.trimmed();
        } else {
            nuove.voci.append({chiave, valore});
        }
    }
    if (p) {
        p->voci = nuove.voci;
    }
    // captions in the tree follow the texts
    if (k[0] == "E") {
        i->setText(0, descrizioneElemento(bande[k[1].toInt()]->elementi[size_t(k[2].toInt())]));
    } else if (k[0] == "C" && p) {
        i->setText(0, descrizioneColonna(*p));
    } else if (k[0] == "R") {
        i->setText(0, QStringLiteral("Righe ") + layout_.righe[size_t(k[1].toInt())].nome);
    }
    cambiato();
}

void Progettista::inserisciNome(QTreeWidgetItem* item) {
    if (!item || !item->parent()) {
        return;
    }
    const QString segnaposto = '{' + item->text(0) + '}';
    const int r = TabellaProprieta->currentRow();
    if (r < 0 || !TabellaProprieta->item(r, 1)) {
        return;
    }
    QTableWidgetItem* v = TabellaProprieta->item(r, 1);
    const QString chiave = TabellaProprieta->item(r, 0)->text().toLower();
    // a column shows a field by name, the texts hold placeholders
    v->setText(chiave == QLatin1String("campo") ? item->text(0) : v->text() + segnaposto);
}

void Progettista::aggiungi(const QString& tipo) {
    QString nodo;
    proprieta(&nodo);
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    const QStringList k = i ? i->data(0, Qt::UserRole).toString().split(':') : QStringList{"P"};
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    QString nuova;
    if (tipo == QLatin1String("Righe")) {
        layout_.righe.push_back({QStringLiteral("Righe%1").arg(layout_.righe.size() + 1), {}, {}});
        nuova = QStringLiteral("R:%1").arg(layout_.righe.size() - 1);
    } else if (tipo == QLatin1String("Colonna")) {
        if (k[0] != "R" && k[0] != "C") {
            Messaggi::avviso(QStringLiteral("Selezionare un tipo di righe dell'elenco"), this);
            return;
        }
        Righe& r = layout_.righe[size_t(k[1].toInt())];
        Proprieta c;
        c.voci = {
            {"titolo", "Titolo"}, {"campo", ""}, {"larghezza", "30"}, {"allinea", "sinistra"}};
        r.colonne.push_back(c);
        nuova = QStringLiteral("C:%1:%2").arg(k[1]).arg(r.colonne.size() - 1);
    } else {
        if (k[0] != "B" && k[0] != "E") {
            Messaggi::avviso(
                QStringLiteral("Selezionare una banda (Intestazione, Chiusura o Piede)"), this);
            return;
        }
        Banda* b = bande[k[1].toInt()];
        b->elementi.push_back({tipo, elementoNuovo(tipo)});
        nuova = QStringLiteral("E:%1:%2").arg(k[1]).arg(b->elementi.size() - 1);
    }
    riempiAlbero(nuova);
    cambiato();
}

void Progettista::elimina() {
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    if (!i) {
        return;
    }
    const QStringList k = i->data(0, Qt::UserRole).toString().split(':');
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    QString dopo = QStringLiteral("P");
    if (k[0] == "E") {
        auto& v = bande[k[1].toInt()]->elementi;
        v.erase(v.begin() + k[2].toInt());
        dopo = QStringLiteral("B:") + k[1];
    } else if (k[0] == "C") {
        auto& v = layout_.righe[size_t(k[1].toInt())].colonne;
        v.erase(v.begin() + k[2].toInt());
        dopo = QStringLiteral("R:") + k[1];
    } else if (k[0] == "R") {
        layout_.righe.erase(layout_.righe.begin() + k[1].toInt());
        dopo = QStringLiteral("L");
    } else {
        return;
    }
    riempiAlbero(dopo);
    cambiato();
}

void Progettista::sposta(int verso) {
    QTreeWidgetItem* i = AlberoLayout->currentItem();
    if (!i) {
        return;
    }
    const QStringList k = i->data(0, Qt::UserRole).toString().split(':');
    Banda* bande[] = {&layout_.intestazione, &layout_.chiusura, &layout_.piede};
    auto scambia = [&](auto& v, int a) {
        const int b = a + verso;
        if (b < 0 || b >= int(v.size())) {
            return false;
        }
        std::swap(v[size_t(a)], v[size_t(b)]);
        return true;
    };
    QString dopo;
    if (k[0] == "E" && scambia(bande[k[1].toInt()]->elementi, k[2].toInt())) {
        dopo = QStringLiteral("E:%1:%2").arg(k[1]).arg(k[2].toInt() + verso);
    } else if (k[0] == "C" && scambia(layout_.righe[size_t(k[1].toInt())].colonne, k[2].toInt())) {
        dopo = QStringLiteral("C:%1:%2").arg(k[1]).arg(k[2].toInt() + verso);
    } else if (k[0] == "R" && scambia(layout_.righe, k[1].toInt())) {
        dopo = QStringLiteral("R:%1").arg(k[1].toInt() + verso);
    } else {
        return;
    }
    riempiAlbero(dopo);
    cambiato();
}

void Progettista::cambiato() {
    modificato_ = true;
    timer_->start();
}

QImage Progettista::anteprima(double dpi) const {
    Documento doc(layout_, dati_, QFileInfo(file_).absolutePath());
    return doc.immagine(0, dpi);
}

QStringList Progettista::nomiSconosciuti() const {
    Documento doc(layout_, dati_, QFileInfo(file_).absolutePath());
    for (int i = 0; i < doc.pagine(); ++i) {
        doc.immagine(i, 10);
    }
    return doc.nomiSconosciuti();
}

void Progettista::aggiornaAnteprima() {
    timer_->stop();
    Documento doc(layout_, dati_, QFileInfo(file_).absolutePath());
    const double dpi = std::max(40.0, logicalDpiX() * 0.8);
    QImage img = doc.immagine(0, dpi);
    Anteprima->setPixmap(QPixmap::fromImage(img));
    const QStringList ignoti = doc.nomiSconosciuti();
    LabelSconosciuti->setText(ignoti.isEmpty() ? QString()
                                               : QStringLiteral("Nomi non dichiarati: ") +
                                                     ignoti.join(QLatin1String(", ")));
}

bool Progettista::salva() {
    if (QFile::exists(file_)) {
        const QString copia = QFileInfo(file_).path() + '/' + QFileInfo(file_).completeBaseName() +
                              QStringLiteral(".~lst");
        QFile::remove(copia);
        QFile::copy(file_, copia);
    }
    QString errore;
    if (!layout_.salva(file_, &errore)) {
        Messaggi::errore(
            QStringLiteral("Impossibile salvare il report di stampa \"%1\": %2").arg(file_, errore),
            this);
        return false;
    }
    modificato_ = false;
    return true;
}

void Progettista::reject() {
    if (modificato_) {
        const QString r = Messaggi::chiedi(
            TipoMessaggio::Conferma, QStringLiteral("Salvare le modifiche al report di stampa?"),
            {QStringLiteral("&Sì"), QStringLiteral("&No"), QStringLiteral("&Annulla")},
            QStringLiteral("Sì"), this);
        if (r == QLatin1String("Annulla") || r.isEmpty()) {
            return;
        }
        if (r == QStringLiteral("Sì") && !salva()) {
            return;
        }
    }
    QDialog::reject();
}

} // namespace quintar::report
