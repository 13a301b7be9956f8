#include "LeitorAccess.h"

#include "ValoresJet4.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

// libmdb reads the Access file; glib must come first.
#include <glib.h>
#include <mdbtools.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tervalia::access {

namespace {

// libmdb reports what it cannot read on the standard error; callers get this reader's results
// instead. The standard error goes to /dev/null while this lives.
class SemMensagensDaBiblioteca
{
public:
    SemMensagensDaBiblioteca()
    {
        std::fflush(stderr);
        m_original = ::dup(STDERR_FILENO);
        const int nulo = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_original >= 0 && nulo >= 0)
            ::dup2(nulo, STDERR_FILENO);
        if (nulo >= 0)
            ::close(nulo);
    }
    ~SemMensagensDaBiblioteca()
    {
        std::fflush(stderr);
        if (m_original >= 0) {
            ::dup2(m_original, STDERR_FILENO);
            ::close(m_original);
        }
    }
    SemMensagensDaBiblioteca(const SemMensagensDaBiblioteca&) = delete;
    SemMensagensDaBiblioteca& operator=(const SemMensagensDaBiblioteca&) = delete;

private:
    int m_original = -1;
};

struct LiberaTabela
{
    void operator()(MdbTableDef* tabela) const { mdb_free_tabledef(tabela); }
};
using TabelaMdb = std::unique_ptr<MdbTableDef, LiberaTabela>;

// libmdb walks a table's pages through its usage map without looking at it: a map of no bytes
// (which libmdb keeps as NULL) or shorter than its header makes it read from address zero. The map
// is a type byte, 0 or 1, and a page number.
bool mapaDeUsoLegivel(const MdbTableDef* t)
{
    return t->usage_map && t->map_sz >= 5 && (t->usage_map[0] == 0 || t->usage_map[0] == 1);
}

// The catalog table's definition, read as mdb_read_catalog reads it, checked before libmdb walks it.
bool catalogoLegivel(MdbHandle* mdb)
{
    MdbCatalogEntry catalogo;
    std::memset(&catalogo, 0, sizeof catalogo);
    catalogo.mdb = mdb;
    catalogo.object_type = MDB_TABLE;
    catalogo.table_pg = 2;
    std::snprintf(catalogo.object_name, sizeof catalogo.object_name, "%s", "MSysObjects");
    const TabelaMdb t(mdb_read_table(&catalogo));
    return t && mapaDeUsoLegivel(t.get());
}

QString textoMdb(const char* texto)
{
    return QString::fromUtf8(texto);
}

QString textoLiberado(char* texto)
{
    const QString s = textoMdb(texto ? texto : "");
    g_free(texto);
    return s;
}

Coluna colunaDe(const MdbHandle* mdb, const MdbColumn* c)
{
    Coluna coluna;
    coluna.nome = textoMdb(c->name);
    switch (c->col_type) {
    case MDB_BOOL:
        coluna.tipo = TipoColuna::SimNao;
        break;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        coluna.tipo = TipoColuna::Inteiro;
        break;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        coluna.tipo = TipoColuna::Duplo;
        break;
    case MDB_NUMERIC:
        // libmdb keeps the definition's precision byte in col_scale and its scale byte in col_prec.
        coluna.tipo = TipoColuna::Numerico;
        coluna.precisao = c->col_scale;
        coluna.escala = c->col_prec;
        break;
    case MDB_MONEY:
        coluna.tipo = TipoColuna::Numerico;
        coluna.precisao = 19;
        coluna.escala = 4;
        break;
    case MDB_DATETIME:
        coluna.tipo = TipoColuna::DataHora;
        break;
    case MDB_MEMO:
        coluna.tipo = TipoColuna::Memo;
        break;
    case MDB_OLE:
    case MDB_BINARY:
        coluna.tipo = TipoColuna::ObjetoOle;
        break;
    default:
        coluna.tipo = TipoColuna::Texto;
        coluna.tamanho = IS_JET3(mdb) ? c->col_size : c->col_size / 2;
        break;
    }
    return coluna;
}

} // namespace

struct LeitorAccess::Estado
{
    ~Estado() { fecha(); }
    void fecha()
    {
        if (mdb)
            mdb_close(mdb);
        mdb = nullptr;
    }
    MdbCatalogEntry* entrada(const QString& nome) const;
    TabelaMdb abreTabela(const QString& nome) const;
    QVariant valor(MdbTableDef* t, MdbColumn* c) const;
    bool nuloNaMascara(MdbTableDef* t, const MdbColumn* c) const;
    std::optional<QByteArray> valorLongo(MdbColumn* c) const;
    QString texto(const char* dados, int tamanho) const;

    MdbHandle* mdb = nullptr;
    qint64 paginas = 0; // in the file
};

MdbCatalogEntry* LeitorAccess::Estado::entrada(const QString& nome) const
{
    for (guint i = 0; mdb && i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (mdb_is_user_table(e) && QString::compare(textoMdb(e->object_name), nome, Qt::CaseInsensitive) == 0)
            return e;
    }
    return nullptr;
}

TabelaMdb LeitorAccess::Estado::abreTabela(const QString& nome) const
{
    MdbCatalogEntry* e = entrada(nome);
    TabelaMdb t(e ? mdb_read_table(e) : nullptr);
    if (t && (!mapaDeUsoLegivel(t.get()) || !mdb_read_columns(t.get())))
        t.reset();
    return t;
}

QString LeitorAccess::Estado::texto(const char* dados, int tamanho) const
{
    if (!IS_JET3(mdb))
        return jet4::textoDeJet(dados, tamanho);
    std::vector<char> utf8(size_t(tamanho) * 4 + 1);
    const int n = mdb_unicode2ascii(mdb, dados, size_t(tamanho), utf8.data(), utf8.size());
    return QString::fromUtf8(utf8.data(), n);
}

// A column of no bytes is NULL, or an empty text or binary value: the row's null mask tells which
// (a clear bit is NULL). The row just fetched is the one before the table's cursor.
bool LeitorAccess::Estado::nuloNaMascara(MdbTableDef* t, const MdbColumn* c) const
{
    int inicio = 0;
    size_t tamanho = 0;
    if (t->cur_row == 0 || mdb_find_row(mdb, int(t->cur_row) - 1, &inicio, &tamanho) != 0 || tamanho == 0)
        return true;
    inicio &= 0x1FFF;
    // libmdb takes the row's place from the page as it is: it may run past the page.
    if (size_t(inicio) + tamanho > size_t(mdb->fmt->pg_size))
        return true;
    const unsigned char* linha = mdb->pg_buf + inicio;
    const int colunas = IS_JET3(mdb) ? linha[0] : mdb_get_int16(mdb->pg_buf, inicio);
    const int bytesMascara = (colunas + 7) / 8;
    if (c->col_num >= colunas || size_t(bytesMascara) > tamanho)
        return true;
    const unsigned char* mascara = linha + tamanho - size_t(bytesMascara);
    return !(mascara[c->col_num / 8] & (1 << (c->col_num % 8)));
}

// A memo or OLE value whole: in the row, on one long value page, or chained over several. libmdb
// follows the chain as the file links it: a chain that loops back ends once it has visited as many
// pages as the file has, and reads as NULL.
std::optional<QByteArray> LeitorAccess::Estado::valorLongo(MdbColumn* c) const
{
    char referencia[MDB_MEMO_OVERHEAD];
    std::memcpy(referencia, mdb->pg_buf + c->cur_value_start, MDB_MEMO_OVERHEAD);
    std::vector<char> parte(std::max<size_t>(mdb->bind_size, 2 * MDB_PGSIZE));
    void* vinculo = c->bind_ptr;
    c->bind_ptr = parte.data();
    QByteArray dados;
    size_t n = mdb_ole_read(mdb, c, referencia, parte.size());
    for (qint64 pagina = 0; n > 0 && pagina <= paginas; ++pagina) {
        dados.append(parte.data(), qsizetype(n));
        n = mdb_ole_read_next(mdb, c, referencia);
    }
    c->bind_ptr = vinculo;
    if (n > 0)
        return std::nullopt;
    return dados;
}

QVariant LeitorAccess::Estado::valor(MdbTableDef* t, MdbColumn* c) const
{
    if (c->col_type == MDB_BOOL)
        return c->cur_value_len == 0; // libmdb leaves here whether the null-mask bit was clear
    const int inicio = c->cur_value_start;
    const int tamanho = c->cur_value_len;
    if (tamanho == 0 && (c->is_fixed || nuloNaMascara(t, c)))
        return QVariant();
    // A damaged file may place a value past its page: it reads as NULL.
    static const QHash<int, int> fixos = {{MDB_BYTE, 1},
                                          {MDB_INT, 2},
                                          {MDB_LONGINT, 4},
                                          {MDB_FLOAT, 4},
                                          {MDB_DOUBLE, 8},
                                          {MDB_DATETIME, 8},
                                          {MDB_NUMERIC, 17},
                                          {MDB_MONEY, 8},
                                          {MDB_MEMO, MDB_MEMO_OVERHEAD},
                                          {MDB_OLE, MDB_MEMO_OVERHEAD}};
    const int minimo = fixos.value(c->col_type, 0);
    if (inicio < 0 || tamanho < minimo || inicio + std::max(tamanho, minimo) > MDB_PGSIZE)
        return QVariant();
    const char* dados = reinterpret_cast<const char*>(mdb->pg_buf) + inicio;
    switch (c->col_type) {
    case MDB_BYTE:
        return qint64(quint8(dados[0]));
    case MDB_INT:
        return qint64(qint16(mdb_get_int16(mdb->pg_buf, inicio)));
    case MDB_LONGINT:
        return qint64(qint32(mdb_get_int32(mdb->pg_buf, inicio)));
    case MDB_FLOAT:
        return double(mdb_get_single(mdb->pg_buf, inicio));
    case MDB_DOUBLE:
        return mdb_get_double(mdb->pg_buf, inicio);
    case MDB_DATETIME:
        return jet4::dataDeJet(mdb_get_double(mdb->pg_buf, inicio));
    case MDB_NUMERIC:
        // As libmdb formats it (mdb_numeric_to_string), without its slow decimal arithmetic.
        return jet4::numericoDeJet(dados, c->col_prec);
    case MDB_MONEY:
        return textoLiberado(mdb_money_to_string(mdb, inicio));
    case MDB_TEXT:
        return texto(dados, tamanho);
    case MDB_BINARY:
        return QByteArray(dados, tamanho);
    case MDB_MEMO: {
        const std::optional<QByteArray> bytes = valorLongo(c);
        return bytes ? QVariant(texto(bytes->constData(), int(bytes->size()))) : QVariant();
    }
    case MDB_OLE: {
        const std::optional<QByteArray> bytes = valorLongo(c);
        return bytes ? QVariant(*bytes) : QVariant();
    }
    default:
        return textoLiberado(mdb_col_to_string(mdb, mdb->pg_buf, inicio, c->col_type, tamanho));
    }
}

LeitorAccess::LeitorAccess() : d(std::make_unique<Estado>()) {}

LeitorAccess::~LeitorAccess() = default;

bool LeitorAccess::abre(const QString& caminho)
{
    d->fecha();
    if (!QFileInfo(caminho).isFile())
        return false;
    const SemMensagensDaBiblioteca silencio;
    d->mdb = mdb_open(QFile::encodeName(caminho).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        return false;
    d->paginas = QFileInfo(caminho).size() / std::max<qint64>(d->mdb->fmt->pg_size, 1);
    mdb_set_date_fmt(d->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(d->mdb);
    if (!catalogoLegivel(d->mdb) || !mdb_read_catalog(d->mdb, MDB_TABLE)) {
        d->fecha();
        return false;
    }
    return true;
}

QStringList LeitorAccess::tabelas() const
{
    QStringList nomes;
    for (guint i = 0; d->mdb && i < d->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i));
        if (mdb_is_user_table(e))
            nomes.append(textoMdb(e->object_name));
    }
    return nomes;
}

std::optional<Tabela> LeitorAccess::tabela(const QString& nome) const
{
    const SemMensagensDaBiblioteca silencio;
    const TabelaMdb t = d->abreTabela(nome);
    if (!t)
        return std::nullopt;
    Tabela tabela{textoMdb(t->name), {}};
    for (guint i = 0; i < t->num_cols; ++i)
        tabela.colunas.append(colunaDe(d->mdb, static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i))));
    return tabela;
}

bool LeitorAccess::leLinhas(const QString& nome, const std::function<bool(const QVariantList&)>& linha) const
{
    const SemMensagensDaBiblioteca silencio;
    const TabelaMdb t = d->abreTabela(nome);
    if (!t)
        return false;
    std::vector<MdbColumn*> colunas;
    // libmdb writes the text of every Yes/No value into its bound buffer.
    std::vector<std::array<char, 16>> simNao(t->num_cols);
    for (guint i = 0; i < t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        c->bind_ptr = c->col_type == MDB_BOOL ? simNao[i].data() : nullptr;
        c->len_ptr = nullptr;
        colunas.push_back(c);
    }
    mdb_rewind_table(t.get());
    QVariantList valores(qsizetype(colunas.size()));
    while (mdb_fetch_row(t.get())) {
        for (size_t i = 0; i < colunas.size(); ++i)
            valores[qsizetype(i)] = d->valor(t.get(), colunas[i]);
        if (!linha(valores))
            break;
    }
    return true;
}

} // namespace tervalia::access
