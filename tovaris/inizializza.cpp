#include "inizializza.h"

#include "report/layoutpredefiniti.h"
#include "session/datiini.h"
#include "session/db.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLockFile>
#include <QPainter>
#include <stdexcept>

using quintar::Database;
using quintar::DbError;
using quintar::Query;
using quintar::Transaction;

static void caricaRisorseSchema() {
    Q_INIT_RESOURCE(schema);
}

namespace tovaris {

QString schema(const QString& nome) {
    static const bool pronte = (caricaRisorseSchema(), true);
    (void)pronte;
    QFile f(QStringLiteral(":/schema/") + nome);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

std::vector<Cartella::Archivio> Cartella::archivi() const {
    return {{prefissoAlias + "user", userDb()},
            {prefissoAlias + "quintar", azienda()},
            {prefissoAlias + "tovaris", erp()},
            {prefissoAlias + "pesate", pesate()}};
}

QString nomeConnessione(const QString& file) {
    const QString dir = QFileInfo(file).path() + '/';
    const QString server = quintar::datiini::leggi(dir, QStringLiteral("Nome Server"));
    const QString alias = quintar::datiini::leggi(dir, QStringLiteral("Alias"));
    if (!server.isEmpty() && !alias.isEmpty()) {
        return server + ':' + alias;
    }
    return file;
}

namespace {

// On a server the archive is created through its alias, after the dati.ini
// of its folder names server and alias.
void creaArchivio(const Cartella& c, const QString& file, const QString& ddl, const QString& demo) {
    if (QFileInfo::exists(file)) {
        throw std::runtime_error(("l'archivio esiste già: " + file).toStdString());
    }
    QString nome = file;
    if (!c.server.isEmpty()) {
        QString alias;
        for (const Cartella::Archivio& a : c.archivi()) {
            if (a.file == file) {
                alias = a.alias;
            }
        }
        const QString dir = QFileInfo(file).path() + '/';
        if (!quintar::datiini::scrivi(dir, QStringLiteral("Nome Server"), c.server) ||
            !quintar::datiini::scrivi(dir, QStringLiteral("Alias"), alias)) {
            throw std::runtime_error(("dati.ini non scritto in " + dir).toStdString());
        }
        nome = c.server + ':' + alias;
    }
    Database db;
    try {
        db.create(nome);
        quintar::eseguiScript(db, schema(ddl));
        if (!demo.isEmpty()) {
            quintar::eseguiScript(db, schema(demo));
        }
    } catch (const DbError& e) {
        db.disconnect();
        QFile::remove(file);
        throw std::runtime_error((nome + ": " + e.messaggio()).toStdString());
    }
}

// The DDL and demo file of each archive, in the order of Cartella::archivi().
struct SchemaArchivio {
    QString ddl, demo;
};
std::vector<SchemaArchivio> schemiArchivi(bool demo) {
    return {
        {QStringLiteral("user.sql"), QStringLiteral("demo/user.sql")},
        {QStringLiteral("company.sql"), demo ? QStringLiteral("demo/company.sql") : QString()},
        {QStringLiteral("erp.sql"), demo ? QStringLiteral("demo/erp.sql") : QString()},
        {QStringLiteral("weighing.sql"), demo ? QStringLiteral("demo/weighing.sql") : QString()}};
}

// The four archives as their DDL (and demo data) leave them: nothing in them
// depends on the folder yet.
void creaArchivi(const Cartella& c, bool demo) {
    const std::vector<Cartella::Archivio> archivi = c.archivi();
    const std::vector<SchemaArchivio> schemi = schemiArchivi(demo);
    for (size_t i = 0; i < archivi.size(); ++i) {
        creaArchivio(c, archivi[i].file, schemi[i].ddl, schemi[i].demo);
    }
}

// Templates: a folder per kind (plain, demo) and text of the schema files,
// so that a changed DDL makes a new one. Made once under a lock file, in a
// folder of its own that takes the final name only when complete.
QString nomeModello(bool demo) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const SchemaArchivio& s : schemiArchivi(demo)) {
        h.addData(s.ddl.toUtf8() + '\0' + schema(s.ddl).toUtf8() + '\0');
        h.addData(s.demo.toUtf8() + '\0' + schema(s.demo).toUtf8() + '\0');
    }
    return (demo ? QStringLiteral("demo-") : QStringLiteral("vuoto-")) +
           QString::fromLatin1(h.result().toHex().left(16));
}

[[noreturn]] void errore(const QString& testo) {
    throw std::runtime_error(testo.toStdString());
}

// Templates of the same kind left by an older DDL go, unless one is in use.
void togliModelliVecchi(const QString& base, const QString& nome) {
    const QString tipo = nome.left(nome.indexOf('-') + 1);
    for (const QString& altro : QDir(base).entryList({tipo + '*'}, QDir::Dirs)) {
        if (altro == nome || altro.endsWith(QLatin1String(".nuovo"))) {
            continue;
        }
        QLockFile lock(base + '/' + altro + ".lock");
        lock.setStaleLockTime(0);
        if (lock.tryLock(0)) {
            QDir(base + '/' + altro).removeRecursively();
            lock.unlock();
        }
    }
}

// With kVariabileModelli set, the archives of a local folder are copies of
// the template of their kind; false when it is not set (or on a server).
bool copiaDaModello(const Cartella& c, bool demo) {
    const QString base = qEnvironmentVariable(kVariabileModelli);
    if (base.isEmpty() || !c.server.isEmpty()) {
        return false;
    }
    if (!QDir().mkpath(base)) {
        errore("impossibile creare la cartella dei modelli " + base);
    }
    const QString nome = nomeModello(demo);
    QLockFile lock(base + '/' + nome + ".lock");
    lock.setStaleLockTime(0); // building a template can take longer than any fixed time
    if (!lock.lock()) {
        errore("modello di archivi bloccato: " + base + '/' + nome + ".lock");
    }
    Cartella modello;
    modello.radice = base + '/' + nome + '/';
    if (!QFileInfo::exists(modello.radice)) {
        togliModelliVecchi(base, nome);
        Cartella nuovo;
        nuovo.radice = base + '/' + nome + ".nuovo/";
        QDir(nuovo.radice).removeRecursively(); // left by a run that was killed
        for (const Cartella::Archivio& a : nuovo.archivi()) {
            if (!QDir().mkpath(QFileInfo(a.file).path())) {
                errore("impossibile creare la cartella " + QFileInfo(a.file).path());
            }
        }
        creaArchivi(nuovo, demo);
        if (!QDir().rename(nuovo.radice, modello.radice)) {
            errore("modello di archivi non completato in " + modello.radice);
        }
    }
    const std::vector<Cartella::Archivio> da = modello.archivi();
    const std::vector<Cartella::Archivio> a = c.archivi();
    for (const Cartella::Archivio& x : a) {
        if (QFileInfo::exists(x.file)) {
            errore("l'archivio esiste già: " + x.file);
        }
    }
    for (size_t i = 0; i < a.size(); ++i) {
        // nothing is attached to a template once made: its files copy whole
        if (!QFile::copy(da[i].file, a[i].file)) {
            for (size_t j = 0; j < i; ++j) {
                QFile::remove(a[j].file);
            }
            errore("archivio non copiato dal modello: " + a[i].file);
        }
    }
    return true;
}

void disegnaIcona(const QString& file) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x6f, 0xb5));
    p.setPen(Qt::NoPen);
    p.drawEllipse(2, 2, 28, 28);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Q"));
    p.end();
    if (!img.save(file, "ICO")) {
        // without the ico image plugin a PNG under the same name still loads
        img.save(file, "PNG");
    }
}

// The weighing monitor's status pictures under Grafica/: with no open weighing
// (segnalazione1.jpg) and with weighings waiting to be identified
// (segnalazione2.jpg).
void disegnaSegnalazioni(const Cartella& c) {
    const struct {
        const char* file;
        QColor colore;
        const char* segno;
        const char* testo;
    } immagini[] = {
        {"segnalazione1.jpg", QColor(0x2e, 0x8b, 0x3e), "\u2713", "Nessuna pesata\naperta"},
        {"segnalazione2.jpg", QColor(0xe0, 0x7a, 0x10), "!", "Pesate da\nidentificare"},
    };
    for (const auto& i : immagini) {
        QImage img(320, 320, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(i.colore);
        p.drawEllipse(QRect(70, 16, 180, 180));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(130);
        p.setFont(f);
        p.drawText(QRect(70, 16, 180, 180), Qt::AlignCenter, QString::fromUtf8(i.segno));
        p.setPen(i.colore.darker(130));
        f.setPixelSize(34);
        p.setFont(f);
        p.drawText(QRect(0, 204, 320, 110), Qt::AlignCenter, QString::fromUtf8(i.testo));
        p.end();
        img.save(c.radice + QStringLiteral("Grafica/") + QLatin1String(i.file), "JPG", 90);
    }
}

// The pictures of the demo packaging photos, under the photos' folder. The
// archive names them in upper case with "\" separators; on disk the folders
// and files have the case a user's copy would have ("Flaconi/ic001.jpg").
void disegnaFotoDemo(const Cartella& c, Query& q) {
    q.setParams({});
    q.SQL = {
        QStringLiteral("SELECT PROGRESSIVO, CODICE, FOTO FROM FOTOIMBALLI ORDER BY PROGRESSIVO")};
    q.open();
    int n = 0;
    for (; !q.eof(); q.next(), ++n) {
        const QStringList parti = q.field(2).asString().split('\\', Qt::SkipEmptyParts);
        if (parti.isEmpty()) {
            continue;
        }
        QString relativo;
        for (int i = 0; i + 1 < parti.size(); ++i) {
            relativo += parti[i].left(1) + parti[i].mid(1).toLower() + '/';
        }
        QDir().mkpath(c.radice + "Immagini/" + relativo);
        relativo += parti.last().toLower();
        // a tall bottle, a wide carton: both are fitted to the frame
        const bool alta = n % 2 == 0;
        QImage img(alta ? 240 : 480, alta ? 400 : 300, QImage::Format_RGB32);
        img.fill(QColor(0xf4, 0xf4, 0xf0));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor::fromHsv((n * 67) % 360, 140, 210));
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 3));
        const QRect corpo = img.rect().adjusted(img.width() / 5, img.height() / 4, -img.width() / 5,
                                                -img.height() / 12);
        p.drawRoundedRect(corpo, 18, 18);
        p.drawRect(QRect(img.width() / 2 - img.width() / 10, img.height() / 10, img.width() / 5,
                         img.height() / 7));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(img.height() / 10);
        p.setFont(f);
        p.drawText(corpo, Qt::AlignCenter, q.field(1).asString());
        p.end();
        img.save(c.radice + "Immagini/" + relativo, "JPG", 85);
    }
    q.close();
}

// The warehouse routine stand-in, built beside this program, goes into the
// host folder where the screens look for it (linked, so that a new build
// reaches every folder).
void collegaRoutineMagazzino(const Cartella& c) {
    if (!QCoreApplication::instance()) {
        return;
    }
    const QString libreria = QStringLiteral("TovarElab.so");
    const QString origine = QCoreApplication::applicationDirPath() + '/' + libreria;
    const QString destinazione = c.radice + libreria;
    if (!QFileInfo::exists(origine) || QFileInfo(destinazione).isSymLink() ||
        QFileInfo::exists(destinazione)) {
        return;
    }
    if (!QFile::link(origine, destinazione) && !QFile::copy(origine, destinazione)) {
        throw std::runtime_error(("impossibile scrivere " + destinazione).toStdString());
    }
}

} // namespace

void scriviParametriUtenti(const Cartella& c) {
    Database db;
    db.connect(nomeConnessione(c.userDb()));
    Transaction tr(&db);
    Query utenti(&db, &tr);
    utenti.SQL = {QStringLiteral("SELECT CODICE, DITTA FROM UTENTI ORDER BY CODICE")};
    utenti.open();
    std::vector<std::pair<qint64, QString>> elenco;
    for (; !utenti.eof(); utenti.next()) {
        elenco.emplace_back(utenti.field(0).asInteger(), utenti.field(1).asString());
    }
    utenti.close();
    const std::pair<const char*, QString> parametri[] = {
        {"Directory bin", c.radice},
        {"ArchivioQuintar", c.azienda()},
        {"Archivio", c.erp()},
        {"Directory tabelle temporanee", c.radice + "Temp/"},
        {"Directory Immagini", c.radice + "Immagini/"},
        {"Directory di lavoro Quintar", c.radice + "Lavoro/"},
        {"NomePathProgrammaWord", QStringLiteral("xdg-open")},
    };
    Query q(&db, &tr);
    for (const auto& [utente, ditta] : elenco) {
        q.SQL = {QStringLiteral("DELETE FROM TABARBELON WHERE UTENTE=?")};
        q.setParams({utente});
        q.execSQL();
        int prog = 1;
        for (const auto& [nome, valore] : parametri) {
            q.SQL = {QStringLiteral("INSERT INTO TABARBELON (UTENTE,INTESTAZIONE,PARAMETRO,VALORE,"
                                    "PROGRESSIVO) VALUES (?,?,?,?,?)")};
            q.setParams({utente, ditta, QString::fromUtf8(nome), valore, prog++});
            q.execSQL();
        }
    }
    tr.commit();
}

// The label templates the demo batches name: a label printer's own
// language with the placeholders the sheet fills.
static void scriviEtichetteDemo(const Cartella& c, Query& q) {
    q.SQL = {QStringLiteral("SELECT DISTINCT NOMEETICHETTA, NOMEPRODOTTO FROM FABBRIC "
                            "WHERE NOMEETICHETTA IS NOT NULL")};
    std::vector<std::pair<QString, QString>> modelli;
    for (q.open(); !q.eof(); q.next()) {
        modelli.emplace_back(q.field(0).asString(), q.field(1).asString());
    }
    q.close();
    for (const auto& [file, prodotto] : modelli) {
        QFile f(c.radice + QStringLiteral("Etichette/") + file);
        if (!f.open(QIODevice::WriteOnly)) {
            throw std::runtime_error(("impossibile scrivere " + f.fileName()).toStdString());
        }
        f.write(
            QStringLiteral("^XA\r\n^CI28\r\n^FO40,30^A0N,40,40^FD%1^FS\r\n"
                           "^FO40,90^A0N,30,30^FDLotto <LOTTO>  Prod. <DATAFABBRICAZIONE>^FS\r\n"
                           "^FO40,130^A0N,30,30^FDScad. <DATASCADENZA>^FS\r\n"
                           "^FO40,180^BCN,80,Y,N,N^FD<SERIALENORM10>^FS\r\n"
                           "^FO40,300^A0N,24,24^FDSeriale <SERIALE>^FS\r\n^XZ\r\n")
                .arg(prodotto)
                .toUtf8());
    }
}

// The customer file of the demo, as an older program exports it (Windows-1252,
// CRLF, a heading): two customers the host knows, one under another name,
// and two new ones with their delivery addresses.
static void scriviClientiDemo(const Cartella& c) {
    const char* const righe[] = {
        "Codice;Ragione sociale;Ragione sociale 2;Indirizzo;CAP;Città;Prov.;Nazione;"
        "Codice fiscale;Partita IVA;Note;Rif. destinatario;Destinatario;Destinatario 2;"
        "Indirizzo destinatario;Indirizzo 2;Indirizzo 3;CAP destinatario;Città destinatario;"
        "Prov. destinatario",
        "C0001;Supermercati Adriatici;S.p.A.;Viale Marconi 210;65126;Pescara;PE;Italia;"
        "01987650687;01987650687;;MAG1;Supermercati Adriatici -;Magazzino Centrale;"
        "Via Tiburtina Valeria km 4;;;65129;Pescara;PE",
        "C0001;Supermercati Adriatici;S.p.A.;;;;;;;;;PV12;"
        "Supermercati Adriatici - Punto vendita Chieti;;Via Papa Giovanni XXIII 45;"
        "presso Centro Commerciale Il Borgo;;66100;Chieti;CH",
        "C0002;Ipermercati Tirreno;S.p.A.;Via dell'Artigianato 3;57121;Livorno;LI;Italia;"
        "01456780497;01456780497;;;;;;;;;;",
        "C0005;Drogheria Sant'Antonio;di Bianchi Lucia;Piazza Garibaldi 7;47121;Forlì;FC;"
        "Italia;BNCLCU70A41D704X;04455660401;;NEG;STESSO;;Piazza Garibaldi 7;;;47121;Forlì;FC",
        "C0005;Drogheria Sant'Antonio;di Bianchi Lucia;;;;;;;;;MAG;Drogheria Sant'Antonio -;"
        "Magazzino;Via dell'Industria 12;Capannone 3;Ingresso da via Roma;47122;Forlì;FC",
        "C0006;Hotel Bellavista;S.r.l.;Lungomare Colombo 44;30126;Venezia;VE;Italia;"
        "03344550271;03344550271;;;;;;;;;;",
    };
    QString testo;
    for (const char* r : righe) {
        testo += QString::fromUtf8(r) + QStringLiteral("\r\n");
    }
    QFile f(c.radice + QStringLiteral("Importazioni/clienti.csv"));
    // every character of the file is in Latin-1, where Windows-1252 agrees
    if (!f.open(QIODevice::WriteOnly) || f.write(testo.toLatin1()) < 0) {
        throw std::runtime_error(("impossibile scrivere " + f.fileName()).toStdString());
    }
}

Cartella inizializza(const QString& dir, bool demo, const QString& server,
                     const QString& prefissoAlias) {
    Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    c.server = server;
    c.prefissoAlias = prefissoAlias;
    QStringList sotto = {"user", "Dati",     "Report", "Grafica",
                         "Temp", "Immagini", "Lavoro", "Etichette"};
    for (const Cartella::Archivio& a : c.archivi()) {
        sotto << QFileInfo(a.file).path().mid(c.radice.size());
    }
    if (demo) {
        sotto << QStringLiteral("Importazioni");
    }
    for (const QString& s : sotto) {
        if (!QDir().mkpath(c.radice + s)) {
            throw std::runtime_error(
                ("impossibile creare la cartella " + c.radice + s).toStdString());
        }
    }
    if (!copiaDaModello(c, demo)) {
        creaArchivi(c, demo);
    }
    // what depends on the folder is written into the archives of each folder
    scriviParametriUtenti(c);

    Database az;
    az.connect(nomeConnessione(c.azienda()));
    Transaction tr(&az);
    Query q(&az, &tr);
    const std::pair<const char*, QString> tabx[] = {
        {"ArchivioTovaris", c.erp()},
        {"ArchivioPesate", c.pesate()},
        {"PercorsoReportEtic", c.radice + "Etichette/"},
    };
    for (const auto& [nome, valore] : tabx) {
        q.SQL = {QStringLiteral("DELETE FROM TABX WHERE NOME=? AND UTENTE IS NULL")};
        q.setParams({QString::fromUtf8(nome)});
        q.execSQL();
        q.SQL = {QStringLiteral("INSERT INTO TABX (CODICE,NOME,TESTO,UTENTE) "
                                "VALUES (GEN_ID(CODICETABXCOUNTER,1),?,?,NULL)")};
        q.setParams({QString::fromUtf8(nome), valore});
        q.execSQL();
    }
    if (demo) {
        disegnaFotoDemo(c, q);
        scriviEtichetteDemo(c, q);
        scriviClientiDemo(c);
    }
    tr.commit();
    disegnaIcona(c.radice + "Grafica/QUINTAR.ICO");
    collegaRoutineMagazzino(c);
    disegnaSegnalazioni(c);
    QString errore;
    if (!quintar::report::scriviLayoutPredefiniti(c.radice + "Report", false, &errore)) {
        throw std::runtime_error(("layout di stampa non scritti: " + errore).toStdString());
    }
    return c;
}

} // namespace tovaris
