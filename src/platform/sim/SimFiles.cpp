// The simulated desktop: an in-memory file system with Windows path rules (case-insensitive,
// backslashes, drive roots always present, parents must exist) and INI files kept as real text.
#include <algorithm>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

std::wstring SimWindowSystem::State::Lower(const std::wstring& s) { return SimLower(s); }

// Absolute, backslash-separated, without "." / ".." or a trailing separator; a relative path is
// taken from the program's folder (the current directory of a program started from Explorer).
std::wstring SimWindowSystem::State::Norm(const std::wstring& path) const {
  std::wstring p = path;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  const bool absolute = p.size() >= 2 && p[1] == L':';
  if (!absolute) {
    std::wstring base = modulePath;
    auto cut = base.find_last_of(L'\\');
    base = cut == std::wstring::npos ? L"C:" : base.substr(0, cut);
    if (!p.empty() && p[0] == L'\\') p = base.substr(0, 2) + p;  // rooted on the current drive
    else p = base + L"\\" + p;
  }
  std::vector<std::wstring> parts;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find(L'\\', i);
    if (j == std::wstring::npos) j = p.size();
    std::wstring part = p.substr(i, j - i);
    // Windows drops trailing dots and spaces from a name.
    while (!part.empty() && part != L"." && part != L".." && (part.back() == L' ' || part.back() == L'.'))
      part.pop_back();
    if (part.empty() || part == L".") {
    } else if (part == L"..") {
      if (parts.size() > 1) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::wstring out;
  for (size_t k = 0; k < parts.size(); ++k) out += (k ? L"\\" : L"") + parts[k];
  return out;
}

std::wstring SimWindowSystem::State::ParentOf(const std::wstring& norm) {
  auto cut = norm.find_last_of(L'\\');
  return cut == std::wstring::npos ? L"" : norm.substr(0, cut);
}

bool SimWindowSystem::State::DirExistsL(const std::wstring& norm) const {
  if (norm.size() == 2 && norm[1] == L':') return true;  // a drive root
  return dirs.count(SimLower(norm)) > 0;
}

void SimWindowSystem::State::MkdirsL(const std::wstring& norm) {
  if (norm.empty() || DirExistsL(norm)) return;
  MkdirsL(ParentOf(norm));
  dirs[SimLower(norm)] = norm;
}

bool SimWindowSystem::FileExists(const std::wstring& path) {
  SIM_OP(Op::FileExists, false);
  return s_->files.count(SimLower(s_->Norm(path))) > 0;
}

bool SimWindowSystem::DirectoryExists(const std::wstring& path) {
  SIM_OP(Op::DirectoryExists, false);
  return s_->DirExistsL(s_->Norm(path));
}

bool SimWindowSystem::CreateDirectoryTree(const std::wstring& path) {
  SIM_OP(Op::CreateDirectoryTree, false);
  State& s = *s_;
  const std::wstring n = s.Norm(path);
  // A file standing where a folder of the path should be blocks it.
  for (std::wstring p = n; !p.empty(); p = State::ParentOf(p)) {
    if (s.files.count(SimLower(p))) {
      s.Err(ERROR_ALREADY_EXISTS);
      return false;
    }
  }
  s.MkdirsL(n);
  return true;
}

bool SimWindowSystem::MoveFileW(const std::wstring& from, const std::wstring& to) {
  SIM_OP(Op::MoveFileW, false);
  State& s = *s_;
  const std::wstring a = s.Norm(from), b = s.Norm(to);
  const std::wstring ka = SimLower(a), kb = SimLower(b);
  const bool isFile = s.files.count(ka) > 0;
  const bool isDir = !isFile && s.dirs.count(ka) > 0;
  if (!isFile && !isDir) {
    s.Err(s.DirExistsL(State::ParentOf(a)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (ka == kb) {  // a change of case only
    if (isFile) s.files[ka].path = b;
    else s.dirs[ka] = b;
    return true;
  }
  if (s.files.count(kb) || s.DirExistsL(b)) {
    s.Err(ERROR_ALREADY_EXISTS);
    return false;
  }
  if (!s.DirExistsL(State::ParentOf(b))) {
    s.Err(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (isFile) {
    SimFile f = std::move(s.files[ka]);
    s.files.erase(ka);
    f.path = b;
    s.files[kb] = std::move(f);
    s.NoteFileL(kb);
    auto v = s.fileVersions.find(ka);
    if (v != s.fileVersions.end()) {
      s.fileVersions[kb] = v->second;
      s.fileVersions.erase(v);
    }
    return true;
  }
  if (kb.compare(0, ka.size() + 1, ka + L"\\") == 0) {  // into itself
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  const std::wstring prefix = ka + L"\\";
  std::map<std::wstring, SimFile> files;
  for (auto& [k, f] : s.files) {
    if (k.compare(0, prefix.size(), prefix) == 0) {
      SimFile nf = f;
      nf.path = b + f.path.substr(a.size());
      files[SimLower(nf.path)] = nf;
    } else {
      files[k] = f;
    }
  }
  s.files = std::move(files);
  std::map<std::wstring, std::wstring> dirs;
  for (auto& [k, d] : s.dirs) {
    if (k == ka || k.compare(0, prefix.size(), prefix) == 0) {
      std::wstring nd = b + d.substr(a.size());
      dirs[SimLower(nd)] = nd;
    } else {
      dirs[k] = d;
    }
  }
  s.dirs = std::move(dirs);
  return true;
}

bool SimWindowSystem::MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
  SIM_OP(Op::MoveFileReplacing, false);
  State& s = *s_;
  const std::wstring a = s.Norm(from), b = s.Norm(to);
  const std::wstring ka = SimLower(a), kb = SimLower(b);
  auto src = s.files.find(ka);
  if (src == s.files.end()) {
    s.Err(s.dirs.count(ka) ? ERROR_ACCESS_DENIED
                           : s.DirExistsL(State::ParentOf(a)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (ka == kb) {
    src->second.path = b;
    return true;
  }
  if (!s.DirExistsL(State::ParentOf(b))) {
    s.Err(ERROR_PATH_NOT_FOUND);
    return false;
  }
  auto dst = s.files.find(kb);
  if (s.dirs.count(kb) || (dst != s.files.end() && dst->second.readOnly)) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  SimFile f = std::move(src->second);
  s.files.erase(src);
  f.path = b;
  s.files[kb] = std::move(f);
  s.NoteFileL(kb);
  s.fileVersions.erase(kb);
  auto v = s.fileVersions.find(ka);
  if (v != s.fileVersions.end()) {
    s.fileVersions[kb] = v->second;
    s.fileVersions.erase(v);
  }
  return true;
}

bool SimWindowSystem::DeleteFileW(const std::wstring& path) {
  SIM_OP(Op::DeleteFileW, false);
  State& s = *s_;
  const std::wstring n = s.Norm(path);
  const std::wstring k = SimLower(n);
  auto ro = s.files.find(k);
  if (s.dirs.count(k) || (ro != s.files.end() && ro->second.readOnly)) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!s.files.erase(k)) {
    s.Err(s.DirExistsL(State::ParentOf(n)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return false;
  }
  s.fileVersions.erase(k);
  return true;
}

bool SimWindowSystem::WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::unique_lock<std::mutex> lk(s_->mu);
  const std::optional<uint32_t> fault = s_->Enter(Op::WriteWholeFile);
  State& s = *s_;
  if (fault && !s.partialWrite) {
    s.Err(*fault);
    return false;
  }
  const std::wstring n = s.Norm(path);
  const std::wstring k = SimLower(n);
  if (!s.DirExistsL(State::ParentOf(n))) {
    s.Err(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (s.dirs.count(k)) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  auto it = s.files.find(k);
  if (it != s.files.end() && it->second.readOnly) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  // A write that fails half-way leaves the created file with what was written so far.
  const std::vector<uint8_t> written =
      fault ? std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2)) : bytes;
  if (it != s.files.end()) it->second.bytes = written;  // the name keeps its first spelling
  else s.files[k] = SimFile{n, written};
  if (!fault) s.NoteFileL(k);
  if (fault) {
    s.Err(*fault);
    return false;
  }
  return true;
}

const SimFile* SimWindowSystem::State::FileToReadL(const std::wstring& path) {
  const std::wstring n = Norm(path);
  const std::wstring k = SimLower(n);
  if (dirs.count(k)) {
    Err(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto it = files.find(k);
  if (it == files.end()) {
    Err(DirExistsL(ParentOf(n)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  return &it->second;
}

bool SimWindowSystem::ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  SIM_OP(Op::ReadWholeFile, false);
  const SimFile* file = s_->FileToReadL(path);
  if (file == nullptr) return false;
  bytes = file->bytes;
  return true;
}

bool SimWindowSystem::ReadFileLimited(const std::wstring& path, size_t maxBytes, std::vector<uint8_t>& bytes) {
  SIM_OP(Op::ReadFileLimited, false);
  const SimFile* file = s_->FileToReadL(path);
  if (file == nullptr) return false;
  if (file->bytes.size() > maxBytes) {
    s_->Err(ERROR_FILE_TOO_LARGE);
    return false;
  }
  bytes = file->bytes;
  return true;
}

// ---------------------------------------------------------------- INI files

namespace {

struct IniText {
  bool utf16 = false;
  std::vector<std::wstring> lines;
};

IniText DecodeIni(const std::vector<uint8_t>& b) {
  IniText t;
  std::wstring text;
  if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    t.utf16 = true;
    for (size_t i = 2; i + 1 < b.size(); i += 2) text += static_cast<wchar_t>(b[i] | (b[i + 1] << 8));
  } else {
    for (auto c : b) text += static_cast<wchar_t>(c);  // the ANSI code page, Latin-1 here
  }
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find(L'\n', i);
    if (j == std::wstring::npos) j = text.size();
    std::wstring line = text.substr(i, j - i);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    t.lines.push_back(line);
    i = j + 1;
  }
  return t;
}

std::vector<uint8_t> EncodeIni(const IniText& t) {
  std::wstring text;
  for (auto& l : t.lines) text += l + L"\r\n";
  std::vector<uint8_t> b;
  if (t.utf16) {
    b = {0xFF, 0xFE};
    for (auto c : text) {
      b.push_back(static_cast<uint8_t>(c & 0xFF));
      b.push_back(static_cast<uint8_t>((static_cast<uint32_t>(c) >> 8) & 0xFF));
    }
  } else {
    for (auto c : text) b.push_back(static_cast<uint32_t>(c) <= 0xFF ? static_cast<uint8_t>(c) : '?');
  }
  return b;
}

std::wstring Trim(const std::wstring& s) {
  const auto ws = L" \t";
  const auto a = s.find_first_not_of(ws);
  if (a == std::wstring::npos) return L"";
  return s.substr(a, s.find_last_not_of(ws) - a + 1);
}

// The section name of a header line, or nullopt.
std::optional<std::wstring> SectionOf(const std::wstring& line) {
  std::wstring t = Trim(line);
  if (t.empty() || t[0] != L'[') return std::nullopt;
  auto close = t.find(L']');
  return Trim(t.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
}

// Line index range [begin, end) of a section's body, or nullopt.
std::optional<std::pair<size_t, size_t>> FindSection(const IniText& t, const std::wstring& section) {
  for (size_t i = 0; i < t.lines.size(); ++i) {
    auto s = SectionOf(t.lines[i]);
    if (!s || !SimIEquals(*s, Trim(section))) continue;
    size_t e = i + 1;
    while (e < t.lines.size() && !SectionOf(t.lines[e])) ++e;
    return std::make_pair(i + 1, e);
  }
  return std::nullopt;
}

std::optional<size_t> FindKey(const IniText& t, size_t b, size_t e, const std::wstring& key) {
  for (size_t i = b; i < e; ++i) {
    auto eq = t.lines[i].find(L'=');
    if (eq == std::wstring::npos) continue;
    if (SimIEquals(Trim(t.lines[i].substr(0, eq)), Trim(key))) return i;
  }
  return std::nullopt;
}

std::wstring IniPath(const std::wstring& file) {
  // A bare file name lives in the Windows folder, as the profile functions take it.
  if (file.find_first_of(L"\\/") == std::wstring::npos) return L"C:\\Windows\\" + file;
  return file;
}

}  // namespace

std::wstring SimWindowSystem::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                  const std::wstring& def, const std::wstring& file) {
  SIM_OP(Op::GetPrivateProfileStringW, L"");
  State& s = *s_;
  // The default loses its trailing blanks, as Windows returns it.
  std::wstring d = def;
  while (!d.empty() && (d.back() == L' ' || d.back() == L'\t')) d.pop_back();
  auto it = s.files.find(SimLower(s.Norm(IniPath(file))));
  if (it == s.files.end()) {
    s.Err(ERROR_FILE_NOT_FOUND);
    return d;
  }
  const IniText t = DecodeIni(it->second.bytes);
  auto sec = FindSection(t, section);
  if (!sec) {
    s.Err(ERROR_FILE_NOT_FOUND);
    return d;
  }
  auto k = FindKey(t, sec->first, sec->second, key);
  if (!k) {
    s.Err(ERROR_FILE_NOT_FOUND);
    return d;
  }
  const std::wstring& line = t.lines[*k];
  std::wstring v = Trim(line.substr(line.find(L'=') + 1));
  if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  s.Err(ERROR_SUCCESS);
  return v;
}

bool SimWindowSystem::WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& value, const std::wstring& file) {
  SIM_OP(Op::WritePrivateProfileStringW, false);
  State& s = *s_;
  const std::wstring n = s.Norm(IniPath(file));
  const std::wstring k = SimLower(n);
  if (s.dirs.count(k)) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!s.DirExistsL(State::ParentOf(n))) {
    s.Err(ERROR_PATH_NOT_FOUND);
    return false;
  }
  auto it = s.files.find(k);
  if (it != s.files.end() && it->second.readOnly) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  IniText t;  // a new file is written in the ANSI code page
  if (it != s.files.end()) t = DecodeIni(it->second.bytes);
  while (!t.lines.empty() && Trim(t.lines.back()).empty()) t.lines.pop_back();
  const std::wstring line = Trim(key) + L"=" + value;
  auto sec = FindSection(t, section);
  if (!sec) {
    if (!t.lines.empty()) t.lines.push_back(L"");
    t.lines.push_back(L"[" + Trim(section) + L"]");
    t.lines.push_back(line);
  } else if (auto kl = FindKey(t, sec->first, sec->second, key)) {
    std::wstring& old = t.lines[*kl];  // the key keeps its spelling, only the value changes
    old = Trim(old.substr(0, old.find(L'='))) + L"=" + value;
  } else {
    size_t at = sec->second;  // after the section's last non-blank line
    while (at > sec->first && Trim(t.lines[at - 1]).empty()) --at;
    t.lines.insert(t.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
  }
  if (it != s.files.end()) it->second.bytes = EncodeIni(t);
  else s.files[k] = SimFile{n, EncodeIni(t)};
  s.NoteFileL(k);
  return true;
}

}  // namespace tessary::sim
