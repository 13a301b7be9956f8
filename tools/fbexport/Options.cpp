#include "Options.h"

#include "delivery/FbExportStatus.h"

#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>

using namespace tervalia::fbexport;

namespace fbexport {

namespace {
unsigned readU16(const unsigned char* p)
{
    return unsigned(p[0]) | (unsigned(p[1]) << 8);
}
} // namespace

const char helpText[] = "Uso: fbexport -D banco -U usuário -P senha -Si -V tabela -F arquivo\n"
                        "Grava as linhas de uma tabela de um banco Firebird como comandos SQL insert,\n"
                        "um por linha (CR LF, texto em Windows-1252), que o SQLite executa.\n"
                        "\n"
                        "  -D banco     arquivo do banco de dados Firebird (lido pelo motor embutido)\n"
                        "  -U usuário   usuário da conexão (padrão SYSDBA)\n"
                        "  -P senha     senha (o motor embutido não a confere)\n"
                        "  -Si          grava comandos insert\n"
                        "  -V tabela    tabela a exportar\n"
                        "  -F arquivo   arquivo de saída\n"
                        "  --help       mostra esta ajuda\n"
                        "\n"
                        "Códigos de saída: 0 concluído, 1 opções inválidas, 2 banco inacessível,\n"
                        "3 banco em formato antigo, 4 tabela inexistente, 5 erro ao gravar a saída,\n"
                        "6 erro ao ler a tabela.\n";

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string* target = nullptr;
        if (a == "--help" || a == "-h" || a == "-?") {
            o.help = true;
            continue;
        }
        if (a == "-Si") {
            o.inserts = true;
            continue;
        }
        if (a == "-D")
            target = &o.database;
        else if (a == "-U")
            target = &o.user;
        else if (a == "-P")
            target = &o.password;
        else if (a == "-V")
            target = &o.table;
        else if (a == "-F")
            target = &o.output;
        else
            throw Failure(Uso, "fbexport: opção desconhecida: " + a + "\nUse fbexport --help para ver as opções.");
        if (i + 1 >= argc)
            throw Failure(Uso, "fbexport: falta o valor da opção " + a + ".");
        *target = argv[++i];
    }
    if (o.help)
        return o;
    if (o.database.empty() || o.table.empty() || o.output.empty())
        throw Failure(Uso, "fbexport: informe o banco (-D), a tabela (-V) e o arquivo de saída (-F).\n"
                           "Use fbexport --help para ver as opções.");
    if (!o.inserts)
        throw Failure(Uso, "fbexport: informe o formato de saída -Si (comandos insert).");
    return o;
}

// The engine keeps its lock files in a directory that must belong to the running user; a shared
// /tmp/firebird made by another user blocks the attach.
void setLockDirectory()
{
    const char* current = std::getenv("FIREBIRD_LOCK");
    if (current && *current)
        return;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tervalia-fb-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    struct stat st = {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        std::string pattern = dir + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw Failure(BancoInacessivel, "fbexport: não foi possível criar a pasta de bloqueio " + dir + ".");
        dir = pattern;
    }
    setenv("FIREBIRD_LOCK", dir.c_str(), 1);
}

// The engine converts file names with the C library's character set; the default "C" locale knows
// only ASCII and would refuse a folder such as "João".
void useUtf8Locale()
{
    if (!std::setlocale(LC_CTYPE, "") || !std::strstr(nl_langinfo(CODESET), "UTF-8"))
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

// The header page says which on-disk structure wrote the file; this engine opens only ODS 12.
void checkHeader(const std::string& path)
{
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0)
        throw Failure(BancoInacessivel, "fbexport: o arquivo de banco de dados não foi encontrado: " + path);
    if (S_ISDIR(st.st_mode))
        throw Failure(BancoInacessivel, "fbexport: " + path + " é uma pasta, não um banco de dados.");
    std::ifstream in(path, std::ios::binary);
    unsigned char page[0x44] = {};
    in.read(reinterpret_cast<char*>(page), sizeof page);
    if (in.gcount() < 0x14 || page[0] != 1)
        return; // not a header page: the attach names the problem
    const unsigned ods = readU16(page + 0x12);
    const unsigned major = ods & 0x7FFF;
    const unsigned minor = in.gcount() >= 0x42 ? readU16(page + 0x40) : 0;
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (major >= 8 && major < 12)
        throw Failure(FormatoAntigo,
                      "O arquivo " + path + " foi gravado por uma versão antiga do Firebird (estrutura ODS " + version +
                          ") e não pode ser lido diretamente.\n"
                          "Abra o arquivo uma vez no programa VAF-MG atualizado, que o converte para o formato atual, "
                          "ou faça uma cópia de segurança e restauração com o gbak (gbak -b e depois gbak -c), "
                          "e selecione o arquivo novamente.");
    if (major > 12 && major < 100)
        throw Failure(BancoInacessivel, "O arquivo " + path +
                                            " foi gravado por uma versão mais nova do Firebird "
                                            "(estrutura ODS " +
                                            version + ") e não pode ser lido por este programa.");
}

// Writing the output over the database itself would destroy it.
void checkDistinctFiles(const std::string& database, const std::string& output)
{
    struct stat db = {};
    struct stat out = {};
    if (stat(database.c_str(), &db) == 0 && stat(output.c_str(), &out) == 0 && db.st_dev == out.st_dev &&
        db.st_ino == out.st_ino)
        throw Failure(Uso, "fbexport: o arquivo de saída (-F) não pode ser o próprio banco de dados (-D).");
}

} // namespace fbexport
