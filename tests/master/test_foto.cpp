// Packaging photos and packaging cost: the size a photo is drawn at, how a
// chosen file is stored and found again, and the cost of one unit.
#include "master/costoimballo.h"
#include "master/foto.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quintar;

TEST(Foto, SiRiduceADecimiFinoAStareNellaCornice) {
    EXPECT_EQ(foto::adatta({200, 100}, {100, 100}), QSize(95, 48));
    EXPECT_EQ(foto::adatta({80, 60}, {100, 100}), QSize(80, 60)); // fits as it is
    EXPECT_EQ(foto::adatta({100, 100}, {100, 100}), QSize(100, 100));
    // a square takes the frame's smaller side
    EXPECT_EQ(foto::adatta({300, 300}, {160, 120}), QSize(120, 120));
    // a side of a few pixels stops shrinking: the loop ends
    EXPECT_EQ(foto::adatta({4, 3}, {2, 2}), QSize(4, 3));
    EXPECT_EQ(foto::adatta({50, 4}, {10, 10}), QSize(9, 4));
    EXPECT_EQ(foto::origine({95, 48}, {120, 100}), QPoint(13, 26));
}

TEST(Foto, SiMemorizzaSottoLaCartellaESiRitrovaSenzaBadareAlleMaiuscole) {
    EXPECT_EQ(foto::memorizzata("C:\\Foto\\Flaconi\\a1.jpg", "C:\\FOTO\\"), "FLACONI\\A1.JPG");
    EXPECT_EQ(foto::memorizzata("/srv/foto/flaconi/a1.jpg", "/srv/FOTO"), "FLACONI\\A1.JPG");
    // the folder must start the path, and only that part goes
    EXPECT_FALSE(foto::memorizzata("/altro/srv/foto/a1.jpg", "/srv/foto"));
    EXPECT_FALSE(foto::memorizzata("/srv/fotografie/a1.jpg", "/srv/foto"));
    EXPECT_EQ(foto::memorizzata("/srv/foto/srv/foto/a1.jpg", "/srv/foto/"), "SRV\\FOTO\\A1.JPG");
    EXPECT_FALSE(foto::memorizzata("/srv/foto/a1.jpg", ""));

    QTemporaryDir d;
    QDir(d.path()).mkpath("Flaconi");
    QFile(d.filePath("Flaconi/a1.jpg")).open(QIODevice::WriteOnly);
    EXPECT_EQ(foto::suDisco(d.path(), "FLACONI\\A1.JPG"), d.filePath("Flaconi/a1.jpg"));
    EXPECT_EQ(foto::suDisco(d.path() + "/", "flaconi/A1.jpg"), d.filePath("Flaconi/a1.jpg"));
    EXPECT_TRUE(foto::suDisco(d.path(), "FLACONI\\A2.JPG").isEmpty());
    EXPECT_TRUE(foto::suDisco(d.path(), "").isEmpty());
}

TEST(CostoImballo, ContenitoreTappoEtichettaPerD1PiuCartonePerD2) {
    EXPECT_NEAR(
        imballi::costoUnitario({0.30, 0.05, 0.02, 1.20, {}, {}, {}, {}}, {1, 12, 0, 0, 0, 0}), 0.47,
        1e-12);
    // a group with divisor 0 is left out; an item not found counts nothing
    EXPECT_NEAR(
        imballi::costoUnitario({0.30, {}, 0.02, 1.20, 0.5, {}, {}, 2.0}, {2, 0, 5, 0, 0, 4}),
        0.16 + 0.1 + 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(imballi::costoUnitario({}, {0, 0, 0, 0, 0, 0}), 0);
}
