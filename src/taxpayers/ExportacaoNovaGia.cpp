#include "ExportacaoNovaGia.h"

#include "validation/Documentos.h"

#include <QFile>
#include <QFileInfo>

// libmdb reads the Access file; glib must come first.
#include <glib.h>
#include <mdbtools.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace tervalia {

namespace {

// libmdb reports what it cannot read on the standard error; the user gets this reader's result
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

struct FechaBanco
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct LiberaTabela
{
    void operator()(MdbTableDef* tabela) const { mdb_free_tabledef(tabela); }
};

constexpr int colunasLidas = 4;

LeituraNovaGia leTabela(MdbHandle* mdb)
{
    LeituraNovaGia leitura;
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        return leitura;
    char nome[] = "tblContribuinte";
    const std::unique_ptr<MdbTableDef, LiberaTabela> tabela(mdb_read_table_by_name(mdb, nome, MDB_TABLE));
    if (!tabela || !mdb_read_columns(tabela.get()) || tabela->num_cols < colunasLidas)
        return leitura;

    std::array<std::vector<char>, colunasLidas> valores;
    std::array<int, colunasLidas> tamanhos{};
    for (int i = 0; i < colunasLidas; ++i) {
        valores[i].assign(mdb->bind_size + 1, '\0');
        mdb_bind_column(tabela.get(), i + 1, valores[i].data(), &tamanhos[i]);
    }
    mdb_rewind_table(tabela.get());
    // A length of 0 is an empty text or no value at all; both read as empty.
    const auto texto = [&](int i) {
        return tamanhos[i] > 0 ? QString::fromUtf8(valores[i].data(), tamanhos[i]) : QString();
    };
    while (mdb_fetch_row(tabela.get()))
        leitura.empresas.append({texto(0), texto(1), texto(2), texto(3)});
    leitura.situacao = leitura.empresas.isEmpty() ? LeituraNovaGia::Situacao::Vazia : LeituraNovaGia::Situacao::Lida;
    return leitura;
}

} // namespace

LeituraNovaGia lerExportacaoNovaGia(const QString& arquivo)
{
    if (!QFileInfo(arquivo).isFile())
        return {};
    const SemMensagensDaBiblioteca silencio;
    const QByteArray caminho = QFile::encodeName(arquivo);
    const std::unique_ptr<MdbHandle, FechaBanco> mdb(mdb_open(caminho.constData(), MDB_NOFLAGS));
    if (!mdb)
        return {};
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    return leTabela(mdb.get());
}

bool empresaComErro(const EmpresaNovaGia& empresa)
{
    return !CNPJValida(empresa.cnpj) || empresa.razaoSocial.trimmed().isEmpty();
}

QString mensagemArquivoNovaGiaInvalido()
{
    return QStringLiteral("Erro: Arquivo inválido, você deve selecionar um arquivo conforme o manual indicar");
}

QString mensagemArquivoNovaGiaVazio()
{
    return QStringLiteral("Erro: Arquivo está vazio");
}

} // namespace tervalia
