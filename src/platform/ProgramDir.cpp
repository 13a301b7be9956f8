#include "ProgramDir.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace tervalia {

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
}

// The user's data: copied once, never replaced.
const QStringList arquivosDoUsuario = {QStringLiteral("dipam.db"), QStringLiteral("dipam.ini")};
// The program's own files: they follow the installed version.
const QStringList arquivosDoPrograma = {QStringLiteral("info.dip"), QStringLiteral("vaf_limpo.db"),
                                        QStringLiteral("vaf_limpo.mdb"), QStringLiteral("gia_limpa.db")};

QByteArray resumo(const QString& caminho)
{
    QFile f(caminho);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

// Copies through a temporary name, so that a failed copy never leaves half a file in place.
bool copia(const QString& origem, const QString& destino)
{
    const QString provisorio = destino + QStringLiteral(".novo");
    QFile::remove(provisorio);
    if (!QFile::copy(origem, provisorio))
        return false;
    QFile::setPermissions(provisorio, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(destino);
    return QFile::rename(provisorio, destino);
}

// The user's folder holds the accountant's register, the companies' keys and their declarations:
// only its owner may enter it, and whatever the program creates from now on (databases, settings,
// deliveries, backups, wherever they are saved) is readable by the owner alone.
bool criaPrivada(const QDir& pasta)
{
    ::umask(S_IRWXG | S_IRWXO);
    const auto soDono = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    return pasta.mkpath(QStringLiteral("temp")) && QFile::setPermissions(pasta.path(), soDono) &&
           QFile::setPermissions(pasta.filePath(QStringLiteral("temp")), soDono);
}

bool precisaCopiar(const QString& nome, const QString& origem, const QString& destino)
{
    if (!QFileInfo::exists(origem))
        return false;
    if (!QFileInfo::exists(destino))
        return true;
    return arquivosDoPrograma.contains(nome) && resumo(origem) != resumo(destino);
}
} // namespace

QString programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QCoreApplication::applicationDirPath();
}

void setProgramDir(const QString& dir)
{
    overrideDir() = dir;
}

QString programFile(const QString& name)
{
    return QDir(programDir()).filePath(name);
}

QString toolFile(const QString& name)
{
    // Portable, the helpers sit in the program directory; installed, beside the executable.
    const QString local = programFile(name);
    if (QFileInfo::exists(local))
        return local;
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

PastaPrograma preparaPastaPrograma(const QString& pastaExecutavel, const QString& pastaModelo,
                                   const QString& dadosUsuario)
{
    PastaPrograma resultado;
    const QFileInfo executavel(pastaExecutavel);
    if (executavel.isWritable() && QFileInfo::exists(QDir(pastaExecutavel).filePath(QStringLiteral("dipam.db")))) {
        resultado.pasta = pastaExecutavel;
        resultado.portatil = true;
        return resultado;
    }
    const QDir pasta(QDir(dadosUsuario).filePath(QStringLiteral("tervalia")));
    if (!criaPrivada(pasta)) {
        resultado.erro = QStringLiteral("Não foi possível criar a pasta do programa em %1.").arg(pasta.path());
        return resultado;
    }
    for (const QString& nome : arquivosDoUsuario + arquivosDoPrograma) {
        const QString origem = QDir(pastaModelo).filePath(nome);
        const QString destino = pasta.filePath(nome);
        if (!precisaCopiar(nome, origem, destino))
            continue;
        if (!copia(origem, destino)) {
            resultado.erro =
                QStringLiteral("Não foi possível copiar %1 para a pasta do programa (%2).").arg(nome, pasta.path());
            return resultado;
        }
        resultado.copiados.append(nome);
    }
    if (!QFileInfo::exists(pasta.filePath(QStringLiteral("dipam.db"))))
        resultado.erro =
            QStringLiteral("A instalação está incompleta: o banco de dados inicial não foi encontrado em %1.")
                .arg(QDir::toNativeSeparators(pastaModelo));
    resultado.pasta = pasta.path();
    return resultado;
}

PastaPrograma preparaPastaPrograma()
{
    const QString exe = QCoreApplication::applicationDirPath();
    const QString modelo = QDir(exe).absoluteFilePath(QStringLiteral("../../share/tervalia"));
    return preparaPastaPrograma(exe, QDir::cleanPath(modelo),
                                QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

} // namespace tervalia
