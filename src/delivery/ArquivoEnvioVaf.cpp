#include "ArquivoEnvioVaf.h"

#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tervalia {

namespace {
int conversoes = 0;
} // namespace

QString arquivoEnvioVaf()
{
    return programFile(QStringLiteral("vaf.mdb"));
}

QString copiaArquivoEnvioVaf(const QString& pasta, QString* erro)
{
    const QDir dir(programFile(QStringLiteral("temp/") + pasta));
    descartaCopia(pasta);
    const QString copia = dir.filePath(QFileInfo(arquivoEnvioVaf()).fileName());
    QFile origem(arquivoEnvioVaf());
    if (QDir().mkpath(dir.path()) && origem.copy(copia))
        return copia;
    *erro = QStringLiteral("O arquivo preparado não pôde ser copiado para %1: %2")
                .arg(QDir::toNativeSeparators(dir.path()), origem.errorString());
    return {};
}

void descartaCopia(const QString& pasta)
{
    QDir(programFile(QStringLiteral("temp/") + pasta)).removeRecursively();
}

ConversaoVafEmCurso::ConversaoVafEmCurso()
{
    ++conversoes;
}

ConversaoVafEmCurso::~ConversaoVafEmCurso()
{
    --conversoes;
}

bool ConversaoVafEmCurso::ativa()
{
    return conversoes > 0;
}

QString ConversaoVafEmCurso::mensagemOcupado()
{
    return QStringLiteral("Outro arquivo VAF.GDB está sendo preparado em outra janela. Aguarde o fim da preparação e "
                          "escolha o arquivo de novo.");
}

} // namespace tervalia
