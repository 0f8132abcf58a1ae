#include "support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

RunResult run_calor2d(const std::string& dir, const std::vector<std::string>& args,
                      const std::vector<std::string>& env) {
  return run_in(dir, CALOR2D_EXE, args, env);
}

std::string case_file(const std::string& out_name, const std::string& Lx, const std::string& Ly, int Nx, int Ny,
                      int itmax, const std::string& tol, int sol_mode, int hist_step) {
  std::ostringstream s;
  s << "'" << out_name << "'   report file\n"
    << Lx << "   Lx\n"
    << Ly << "   Ly\n"
    << Nx << "   Nx\n"
    << Ny << "   Ny\n"
    << itmax << "   itmax\n"
    << tol << "   tol\n"
    << sol_mode << "   sol_mode\n"
    << hist_step << "   hist_step\n";
  return s.str();
}

std::string io_error_text(char letter, int number, const std::string& statement, const std::string& file) {
  std::ostringstream s;
  s << "\r\nrun-time error " << letter << number << ": " << statement << "(" << file << ")\r\n- ";
  return s.str();
}

std::string math_error_text(int number, const std::string& message) {
  return "\r\nrun-time error M" + std::to_string(number) + ": MATH\r\n- " + message + "\r\n";
}

std::string small_case(const std::string& out_name) {
  return case_file(out_name, "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5);
}

bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

std::string before_time(const std::string& report) { return report.substr(0, report.rfind("Tempo de processamento")); }

}  // namespace testsupport
