// Restoring a backup: the whole archive is read and checked in a hidden folder of the program
// directory before anything of the user's is replaced.
#include "CopiaBanco.h"
#include "CopiaSegurancaInterna.h"
#include "Entregas.h"
#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tervalia {

namespace {
using namespace copia;

const QString sufixoGuardado = QStringLiteral(".antes-da-restauracao");
const QStringList arquivosTrocados = {QStringLiteral("dipam.db"), QStringLiteral("dipam.ini")};
// SQLite's companions of dipam.db: a journal left by a crash belongs to the file it was made for.
const QStringList companheirosBanco = {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")};

QByteArray nativo(const QString& caminho)
{
    return QFile::encodeName(caminho);
}

QString erroSistema()
{
    return QString::fromLocal8Bit(strerror(errno));
}

// A relative name of plain parts: no root, no drive, no "..", no backslash, no empty part.
bool nomeSeguro(const QString& nome, bool pasta)
{
    if (nome.isEmpty() || nome.startsWith(u'/') || nome.contains(u'\\') || nome.contains(u':') ||
        nome.contains(QChar(0)))
        return false;
    QStringList partes = nome.split(u'/');
    if (pasta && partes.size() > 1 && partes.last().isEmpty())
        partes.removeLast();
    return std::none_of(partes.begin(), partes.end(), [](const QString& p) {
        return p.isEmpty() || p == QLatin1String(".") || p == QLatin1String("..");
    });
}

bool nomeEsperado(const QString& nome)
{
    return arquivosTrocados.contains(nome) || nome == QLatin1String("entregas") || nome == QLatin1String("entregas/") ||
           nome.startsWith(pastaNoArquivo);
}

// The first name of base, base-2, base-3… that is free.
QString nomeLivre(const QString& base)
{
    QString nome = base;
    for (int n = 2; QFileInfo::exists(nome) || QFileInfo(nome).isSymLink(); ++n)
        nome = base + QLatin1Char('-') + QString::number(n);
    return nome;
}

class Restauracao
{
public:
    Restauracao(const QString& arquivo, const AoProgredir& progresso) : m_arquivo(arquivo), m_progresso(progresso) {}
    ~Restauracao()
    {
        if (!m_pasta.isEmpty())
            QDir(m_pasta).removeRecursively();
    }

    ResultadoRestauracao executa()
    {
        if (extrai() && confere() && troca()) {
            mesclaEntregas();
            m_r.desfecho = Desfecho::Concluida;
        }
        return m_r;
    }

private:
    bool falha(const QString& causa)
    {
        m_r.desfecho = Desfecho::Falhou;
        m_r.erro = causa + QStringLiteral("\r\nNada foi alterado.");
        return false;
    }
    bool cancelada()
    {
        m_r.desfecho = Desfecho::Cancelada;
        return false;
    }
    QString noTemporario(const QString& nome) const { return QDir(m_pasta).filePath(nome); }

    bool criaPastaTemporaria();
    bool extrai();
    bool extraiEntrada(LeitorZip& zip, const LeitorZip::Entrada& entrada);
    bool gravaArquivo(LeitorZip& zip, const QString& destino);
    bool criaPastas(const QString& caminho);
    bool confere();
    bool troca();
    void desfaz(const QList<std::pair<QString, QString>>& feitas);
    bool guardaAtual(const QString& atual, QList<std::pair<QString, QString>>& feitas);
    void mesclaEntregas();
    void mescla(const QString& origem, const QString& destino);

    QString m_arquivo;
    AoProgredir m_progresso;
    QString m_pasta;
    ResultadoRestauracao m_r;
    Progresso m_p;
    int m_arquivosLidos = 0;
    QByteArray m_pedaco;           // one buffer for every file
    QSet<QString> m_pastasCriadas; // folders of the hidden folder already made
};

bool Restauracao::criaPastaTemporaria()
{
    QByteArray modelo = nativo(programFile(QStringLiteral(".restauracao-XXXXXX")));
    if (!::mkdtemp(modelo.data())) // 0700
        return falha(QStringLiteral("A pasta do programa não aceita gravação: ") + causaGravacao(errno, erroSistema()));
    m_pasta = QFile::decodeName(modelo);
    return true;
}

bool Restauracao::extrai()
{
    LeitorZip zip;
    QString erro;
    const std::optional<QByteArray> json = leEntradaManifesto(zip, m_arquivo, erro);
    const std::optional<Manifesto> manifesto = json ? manifestoDeJson(*json, erro) : std::nullopt;
    if (!manifesto)
        return falha(erro);
    m_r.manifesto = *manifesto;
    m_p.total = manifesto->bytes;
    if (!criaPastaTemporaria())
        return false;
    LeitorZip::Entrada entrada;
    for (LeitorZip::Passo passo; (passo = zip.proxima(entrada)) != LeitorZip::Passo::Fim;) {
        if (passo == LeitorZip::Passo::Falha)
            return falha(textoFalhaZip(zip.falha()));
        if (!extraiEntrada(zip, entrada))
            return false;
    }
    if (m_arquivosLidos != manifesto->arquivos || m_p.feito != manifesto->bytes)
        return falha(QStringLiteral("A cópia de segurança está incompleta: o manifesto anuncia %1 arquivos e %2 "
                                    "bytes, e foram encontrados %3 arquivos e %4 bytes.")
                         .arg(manifesto->arquivos)
                         .arg(manifesto->bytes)
                         .arg(m_arquivosLidos)
                         .arg(m_p.feito));
    return true;
}

bool Restauracao::extraiEntrada(LeitorZip& zip, const LeitorZip::Entrada& entrada)
{
    if (!nomeSeguro(entrada.nome, entrada.pasta))
        return falha(QStringLiteral("A cópia de segurança foi recusada: ela contém um nome de arquivo inseguro "
                                    "(\"%1\").")
                         .arg(entrada.nome));
    if (!nomeEsperado(entrada.nome))
        return falha(naoECopia() + QStringLiteral(" (\"%1\" não faz parte de uma cópia.)").arg(entrada.nome));
    if (entrada.pasta)
        return criaPastas(noTemporario(entrada.nome));
    if (!entrada.arquivoComum)
        return falha(
            QStringLiteral("A cópia de segurança foi recusada: \"%1\" não é um arquivo comum.").arg(entrada.nome));
    const QString destino = noTemporario(entrada.nome);
    m_p.item = entrada.nome;
    ++m_arquivosLidos;
    if (m_progresso && !m_progresso(m_p))
        return cancelada();
    return criaPastas(QFileInfo(destino).path()) && gravaArquivo(zip, destino);
}

bool Restauracao::criaPastas(const QString& caminho)
{
    const QString relativo = QDir(m_pasta).relativeFilePath(caminho);
    QString atual = m_pasta;
    for (const QString& parte : relativo.split(u'/', Qt::SkipEmptyParts)) {
        atual += QLatin1Char('/') + parte;
        if (m_pastasCriadas.contains(atual))
            continue;
        if (::mkdir(nativo(atual).constData(), 0700) != 0 && errno != EEXIST)
            return falha(causaGravacao(errno, erroSistema()));
        // Only our own folders: a name used before by a file cannot become a folder.
        struct stat st
        {
        };
        if (::lstat(nativo(atual).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return falha(textoFalhaZip({FalhaZip::Danificado, 0, atual}));
        m_pastasCriadas.insert(atual);
    }
    return true;
}

// Written 0600, never over a file already there (an archive naming one file twice is damaged).
bool Restauracao::gravaArquivo(LeitorZip& zip, const QString& destino)
{
    const int fd = ::open(nativo(destino).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return falha(errno == EEXIST ? textoFalhaZip({FalhaZip::Danificado, 0, m_p.item})
                                     : causaGravacao(errno, erroSistema()));
    QByteArray& pedaco = m_pedaco;
    pedaco.resize(256 * 1024);
    qint64 n = 0;
    bool ok = true;
    while (ok && (n = zip.le(pedaco.data(), pedaco.size())) > 0) {
        for (qint64 escrito = 0; ok && escrito < n;) {
            const ssize_t w = ::write(fd, pedaco.constData() + escrito, size_t(n - escrito));
            ok = w > 0 || (w < 0 && errno == EINTR);
            escrito += std::max<ssize_t>(w, 0);
        }
        m_p.feito += n;
        // More than the manifest announced: a damaged or hostile archive, stopped before it fills the disk.
        if (ok && m_p.feito > m_p.total) {
            ::close(fd);
            return falha(textoFalhaZip({FalhaZip::Danificado, 0, m_p.item}));
        }
        if (ok && m_progresso && !m_progresso(m_p)) {
            ::close(fd);
            return cancelada();
        }
    }
    const int codigo = errno;
    // The files that replace the user's must be on the disk before they take their place.
    const bool guardado = !ok || !arquivosTrocados.contains(m_p.item) || ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || !guardado)
        return falha(causaGravacao(ok ? errno : codigo, erroSistema()));
    return n == 0 || falha(textoFalhaZip(zip.falha()));
}

bool Restauracao::confere()
{
    if (!QFileInfo(noTemporario(QStringLiteral("dipam.db"))).isFile())
        return falha(naoECopia() + QStringLiteral(" (falta o banco de dados dipam.db.)"));
    const VerificacaoBanco v = verificaBanco(noTemporario(QStringLiteral("dipam.db")));
    if (!v.erro.isEmpty())
        return falha(QStringLiteral("O banco de dados da cópia de segurança está danificado: ") + v.erro);
    if (v.empresas != m_r.manifesto.empresas)
        return falha(QStringLiteral("O banco de dados da cópia de segurança não confere com o seu manifesto."));
    return true;
}

// Moves the current file aside (with SQLite's companions of dipam.db), remembering each move.
bool Restauracao::guardaAtual(const QString& atual, QList<std::pair<QString, QString>>& feitas)
{
    if (!QFileInfo::exists(atual))
        return true;
    const QString guarda = nomeLivre(atual + sufixoGuardado);
    QStringList companheiros = {QString()};
    if (atual.endsWith(QLatin1String("dipam.db")))
        companheiros += companheirosBanco;
    for (const QString& c : companheiros) {
        if (!QFileInfo::exists(atual + c))
            continue;
        if (::rename(nativo(atual + c).constData(), nativo(guarda + c).constData()) != 0)
            return false;
        feitas.prepend({atual + c, guarda + c});
    }
    m_r.guardados.append(QFileInfo(guarda).fileName());
    return true;
}

// dipam.db and dipam.ini change together or not at all.
bool Restauracao::troca()
{
    QList<std::pair<QString, QString>> feitas; // (from, to), latest first
    for (const QString& nome : arquivosTrocados) {
        const QString novo = noTemporario(nome);
        if (!QFileInfo::exists(novo))
            continue;
        const QString atual = programFile(nome);
        if (!guardaAtual(atual, feitas) || ::rename(nativo(novo).constData(), nativo(atual).constData()) != 0) {
            const int codigo = errno;
            const QString texto = erroSistema();
            desfaz(feitas);
            return falha(causaGravacao(codigo, texto));
        }
        feitas.prepend({novo, atual});
    }
    return true;
}

void Restauracao::desfaz(const QList<std::pair<QString, QString>>& feitas)
{
    for (const auto& [de, para] : feitas)
        ::rename(nativo(para).constData(), nativo(de).constData());
    m_r.guardados.clear();
}

// Deliveries of the backup that are not here are added whole; those here are kept as they are,
// with only the files they lack added.
void Restauracao::mesclaEntregas()
{
    const QDir origem(noTemporario(QStringLiteral("entregas")));
    if (!origem.exists())
        return;
    if (!QFileInfo::exists(pastaEntregas()))
        ::mkdir(nativo(pastaEntregas()).constData(), 0700);
    int falhas = 0;
    // The database is already replaced: from here on the restore goes to its end.
    m_p.item = QStringLiteral("acrescentando as entregas…");
    m_p.cancelavel = false;
    int vistas = 0;
    for (const QString& nome : origem.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (++vistas % 64 == 0 && m_progresso)
            m_progresso(m_p);
        const QString destino = QDir(pastaEntregas()).filePath(nome);
        if (QFileInfo::exists(destino) || QFileInfo(destino).isSymLink()) {
            ++m_r.entregasMantidas;
            mescla(origem.filePath(nome), destino);
        } else if (::rename(nativo(origem.filePath(nome)).constData(), nativo(destino).constData()) == 0) {
            ++m_r.entregasNovas;
        } else {
            ++falhas;
        }
    }
    if (falhas > 0)
        m_r.erro = QStringLiteral("%1 entregas da cópia não puderam ser acrescentadas à pasta \"%2\".")
                       .arg(falhas)
                       .arg(QDir::toNativeSeparators(pastaEntregas()));
}

void Restauracao::mescla(const QString& origem, const QString& destino)
{
    const QFileInfo daqui(destino);
    if (!QFileInfo(origem).isDir() || !daqui.isDir() || daqui.isSymLink())
        return;
    for (const QString& nome : QDir(origem).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString alvo = QDir(destino).filePath(nome);
        if (QFileInfo::exists(alvo) || QFileInfo(alvo).isSymLink())
            mescla(QDir(origem).filePath(nome), alvo);
        else
            ::rename(nativo(QDir(origem).filePath(nome)).constData(), nativo(alvo).constData());
    }
}
} // namespace

ResultadoRestauracao restauraCopiaSeguranca(const QString& arquivo, const AoProgredir& progresso)
{
    return Restauracao(arquivo, progresso).executa();
}

} // namespace tervalia
