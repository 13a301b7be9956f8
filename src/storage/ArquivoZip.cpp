#include "ArquivoZip.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>

namespace tervalia {

namespace {
constexpr qint64 tamanhoPedaco = 256 * 1024;

QString textoBiblioteca(archive* a)
{
    const char* texto = archive_error_string(a);
    return texto ? QString::fromUtf8(texto) : QString();
}

struct EntradaArchive
{
    archive_entry* e = archive_entry_new();
    ~EntradaArchive() { archive_entry_free(e); }
};
} // namespace

struct EscritorZip::Estado
{
    archive* a = archive_write_new();
    bool aberto = false;
    FalhaZip falha;
    QByteArray pedaco; // one buffer for every file

    ~Estado() { archive_write_free(a); }

    bool falhou(FalhaZip::Tipo tipo, int codigo, const QString& detalhe)
    {
        if (falha.tipo == FalhaZip::Nenhuma)
            falha = {tipo, codigo, detalhe};
        return false;
    }
    bool falhaGravacao() { return falhou(FalhaZip::Gravacao, archive_errno(a), textoBiblioteca(a)); }

    bool cabecalho(const QString& nome, qint64 tamanho, const QDateTime& modificado)
    {
        EntradaArchive entrada;
        archive_entry_set_pathname_utf8(entrada.e, nome.toUtf8().constData());
        archive_entry_set_filetype(entrada.e, AE_IFREG);
        archive_entry_set_perm(entrada.e, 0600);
        archive_entry_set_size(entrada.e, tamanho);
        archive_entry_set_mtime(entrada.e, modificado.isValid() ? modificado.toSecsSinceEpoch() : 0, 0);
        return archive_write_header(a, entrada.e) == ARCHIVE_OK || falhaGravacao();
    }
    bool escreve(const char* dados, qint64 tamanho)
    {
        return archive_write_data(a, dados, size_t(tamanho)) == tamanho || falhaGravacao();
    }
};

EscritorZip::EscritorZip() : d(std::make_unique<Estado>()) {}
EscritorZip::~EscritorZip() = default;

bool EscritorZip::abre(int descritor)
{
    // Names in UTF-8, flagged as such, so that accents survive any other unzip program.
    if (archive_write_set_format_zip(d->a) != ARCHIVE_OK ||
        archive_write_set_options(d->a, "zip:hdrcharset=UTF-8") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(d->a, int(tamanhoPedaco)) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(d->a, 1) != ARCHIVE_OK ||
        archive_write_open_fd(d->a, descritor) != ARCHIVE_OK)
        return d->falhaGravacao();
    d->aberto = true;
    return true;
}

bool EscritorZip::adicionaDados(const QString& nome, const QByteArray& dados, const QDateTime& modificado)
{
    return d->falha.tipo == FalhaZip::Nenhuma && d->cabecalho(nome, dados.size(), modificado) &&
           (dados.isEmpty() || d->escreve(dados.constData(), dados.size())) &&
           (archive_write_finish_entry(d->a) == ARCHIVE_OK || d->falhaGravacao());
}

bool EscritorZip::adicionaArquivo(const QString& nome, const QString& origem, const std::function<bool(qint64)>& lido)
{
    if (d->falha.tipo != FalhaZip::Nenhuma)
        return false;
    QFile arquivo(origem);
    errno = 0;
    if (!arquivo.open(QIODevice::ReadOnly))
        return d->falhou(FalhaZip::Leitura, errno, arquivo.errorString());
    const qint64 tamanho = arquivo.size();
    if (!d->cabecalho(nome, tamanho, arquivo.fileTime(QFileDevice::FileModificationTime)))
        return false;
    QByteArray& pedaco = d->pedaco;
    pedaco.resize(tamanhoPedaco);
    for (qint64 feito = 0; feito < tamanho;) {
        errno = 0;
        const qint64 n = arquivo.read(pedaco.data(), std::min(tamanhoPedaco, tamanho - feito));
        if (n <= 0) // a file that shrank while archived cannot keep the size already written
            return d->falhou(FalhaZip::Leitura, errno, arquivo.errorString());
        if (!d->escreve(pedaco.constData(), n))
            return false;
        feito += n;
        if (lido && !lido(feito))
            return d->falhou(FalhaZip::Cancelada, 0, {});
    }
    return archive_write_finish_entry(d->a) == ARCHIVE_OK || d->falhaGravacao();
}

bool EscritorZip::conclui()
{
    if (d->falha.tipo != FalhaZip::Nenhuma || !d->aberto)
        return false;
    d->aberto = false;
    return archive_write_close(d->a) == ARCHIVE_OK || d->falhaGravacao();
}

const FalhaZip& EscritorZip::falha() const
{
    return d->falha;
}

struct LeitorZip::Estado
{
    archive* a = archive_read_new();
    FalhaZip falha;

    ~Estado() { archive_read_free(a); }

    bool falhou(FalhaZip::Tipo tipo)
    {
        if (falha.tipo == FalhaZip::Nenhuma)
            falha = {tipo, archive_errno(a), textoBiblioteca(a)};
        return false;
    }
};

LeitorZip::LeitorZip() : d(std::make_unique<Estado>()) {}
LeitorZip::~LeitorZip() = default;

bool LeitorZip::abre(const QString& caminho)
{
    // A .zip starts with a local header ("PK\3\4"), or with the end record when it is empty.
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly)) {
        d->falha = {FalhaZip::Leitura, 0, arquivo.errorString()};
        return false;
    }
    const QByteArray inicio = arquivo.read(4);
    if (inicio != QByteArrayLiteral("PK\3\4") && inicio != QByteArrayLiteral("PK\5\6")) {
        d->falha = {FalhaZip::NaoEZip, 0, {}};
        return false;
    }
    // The seekable reader starts from the central directory: a truncated file fails here.
    if (archive_read_support_format_zip_seekable(d->a) != ARCHIVE_OK ||
        archive_read_open_filename(d->a, QFile::encodeName(caminho).constData(), size_t(tamanhoPedaco)) != ARCHIVE_OK)
        return d->falhou(FalhaZip::Danificado);
    return true;
}

LeitorZip::Passo LeitorZip::proxima(Entrada& entrada)
{
    if (d->falha.tipo != FalhaZip::Nenhuma)
        return Passo::Falha;
    archive_entry* e = nullptr;
    const int r = archive_read_next_header(d->a, &e);
    if (r == ARCHIVE_EOF)
        return Passo::Fim;
    if (r != ARCHIVE_OK) {
        d->falhou(FalhaZip::Danificado);
        return Passo::Falha;
    }
    const char* nome = archive_entry_pathname_utf8(e);
    entrada.nome = nome ? QString::fromUtf8(nome) : QString();
    entrada.pasta = archive_entry_filetype(e) == AE_IFDIR;
    entrada.arquivoComum = archive_entry_filetype(e) == AE_IFREG && !archive_entry_is_encrypted(e);
    entrada.tamanho = archive_entry_size_is_set(e) ? archive_entry_size(e) : -1;
    return Passo::Entrada;
}

qint64 LeitorZip::le(char* destino, qint64 maximo)
{
    const la_ssize_t n = archive_read_data(d->a, destino, size_t(maximo));
    if (n < 0) { // a bad CRC is only a warning to the library; here it is a damaged archive
        d->falhou(FalhaZip::Danificado);
        return -1;
    }
    return n;
}

const FalhaZip& LeitorZip::falha() const
{
    return d->falha;
}

} // namespace tervalia
