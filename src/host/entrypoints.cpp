// The exported entry points: one line per screen, all through the launch table.
#include "host/lancio.h"

#define QUINTAR_ENTRATA __attribute__((visibility("default")))

#define ENTRATA_D(NOME)                                                                            \
    extern "C" QUINTAR_ENTRATA int Show##NOME##FormD(int utente) {                                 \
        return quintar::lanciaDaEntrata(#NOME, utente, std::nullopt);                              \
    }
#define ENTRATA_X(NOME)                                                                            \
    extern "C" QUINTAR_ENTRATA int Show##NOME##FormX(int utente, int finestra) {                   \
        return quintar::lanciaDaEntrata(#NOME, utente, finestra);                                  \
    }
#define ENTRATA_DX(NOME) ENTRATA_D(NOME) ENTRATA_X(NOME)

ENTRATA_DX(Fornito)
ENTRATA_X(ImpoVarie)

// configuration tables
ENTRATA_DX(CategMP)
ENTRATA_DX(SRischi)
ENTRATA_DX(Spec)
ENTRATA_DX(Valutaz)
ENTRATA_DX(TipiImballi)
ENTRATA_DX(IniConf)
ENTRATA_DX(IniRiemp)
ENTRATA_DX(IniCConf)
ENTRATA_DX(IniCCon1)
ENTRATA_X(ConvCapConf)
ENTRATA_DX(IniCatPr)
ENTRATA_DX(CodADR)
ENTRATA_DX(CodADR2017)
