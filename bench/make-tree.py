#!/usr/bin/env python3
"""make-tree.py --dlls SYSTEM32 --fixtures FIXTURES --out DIR

Writes the scan benchmark's trees into DIR, the same bytes on every run. One
file, a little over 500 lines: every tree is made from the same file kinds and
seeded choices, which only stay the same bytes when they are drawn in one order.

  tree/           about 100,000 files in 10,000 folders, the mix a user's disk holds
  tree.expected   the files a scan must list (UTF-8, "/" separators, sorted)
  tree.info       counts, key=value
  many/ many.expected many.info
                  the main tree's size and share of candidates, but about 1,600
                  of its files are listed: a disk with many findings, where a
                  cost that grows with each result line shows. Some listed files carry a real version
                  resource of another publisher than Microsoft, its text lengths
                  counted in characters (fx_zh.dll) or in bytes (fx_zh_bytes.dll),
                  the signature in the DOS stub; the others carry none
  malformed/ malformed.expected malformed.info
                  the main tree's size and shape, but the files it lists are
                  malformed executables, as damaged copies and packers leave them:
                  the unit tests' malformed layouts (fx_lay_*.dll: headers and
                  tables cut by the file's end or pointing past it, directories
                  that loop) and files of any size whose pointer to the image
                  header lies past their end or is cut by it; the signature in
                  the DOS header, where no loader looks
  mem-wide/ mem-chains/ mem-few/ mem-flat/
                  20,000 files each, in 20,000, 20,000, 20 and 1 folders that
                  queue at most about 20,000, 2,000, 20 and 1 at a time: the memory check

Real PE files are copied from SYSTEM32 (Wine's own DLL folder), the fixture
libraries from FIXTURES (the unit tests' build output). A tree is written
beside its final place and renamed into it, and kept as long as its stamp
(generator version, seed, the DLL folder's listing, the fixtures' bytes) still
matches.
"""

import argparse
import hashlib
import os
import random
import shutil
import sys

GENERATOR_VERSION = 2
SEED = 20261210
FOLDERS = 10000
FILES = 100000
CANDIDATE_SHARE = 0.07
HEAD = 32000
SIGNATURE = b"SetWindowsHook"
# The last start at which the whole text still lies inside the head.
LAST_START = HEAD - len(SIGNATURE)
MAX_REL_PATH = 190  # GBK bytes; with "D:\" the longest path stays well under MAX_PATH

FOLDER_WORDS = [
    "Program Files", "Common Files", "data", "cache", "bin", "lib", "images", "backup", "config",
    "temp", "logs", "plugins", "skins", "update", "docs", "src", "res", "locale", "fonts",
    "sounds", "music", "photos", "2019", "2020", "2021", "Release", "Debug", "x86", "setup",
    "新建文件夹", "资料", "图片", "文档", "备份", "软件", "工具", "下载", "音乐", "视频", "游戏",
    "课件", "项目", "我的文档", "桌面", "存档", "驱动", "补丁", "素材",
]
TOP_FOLDERS = [
    "Program Files", "WINDOWS", "Documents and Settings", "我的文档", "下载", "游戏", "Tools",
    "Backup", "Temp", "Music", "Photos", "Projects",
]
STEMS = [
    "readme", "setup", "install", "config", "data", "index", "image", "photo", "report", "notes",
    "update", "player", "helper", "launcher", "kbd", "hook", "service", "client", "server", "core",
    "util", "common", "main", "app", "game", "patch", "log", "list", "说明", "安装程序", "配置",
    "照片", "报告", "笔记", "游戏", "补丁", "工具", "播放器", "输入法",
]
# Extension, weight, kind of content.
PLAIN_EXTS = [
    (".txt", 14, "text"), (".ini", 8, "text"), (".dat", 10, "bin"), (".jpg", 14, "jpg"),
    (".png", 8, "png"), (".log", 6, "text"), (".xml", 5, "text"), (".htm", 4, "text"),
    (".cfg", 3, "text"), (".bmp", 3, "bin"), (".wav", 2, "bin"), (".mp3", 4, "bin"),
    (".doc", 3, "bin"), (".pdf", 3, "bin"), (".zip", 2, "bin"), (".lnk", 2, "bin"),
    (".ico", 2, "bin"), (".css", 1, "text"), (".js", 2, "text"), (".h", 1, "text"),
    (".cpp", 1, "text"), (".inf", 1, "text"), (".cab", 1, "bin"),
    # Near misses: none of these names holds ".DLL" or ".EXE".
    (".ex_", 1, "bin"), (".dl_", 1, "bin"), ("_exe.log", 1, "text"), ("-dll.txt", 1, "text"),
]
CANDIDATE_EXTS = [
    (".exe", 30), (".dll", 30), (".EXE", 8), (".DLL", 8), (".Exe", 3), (".Dll", 2),
    (".exe.bak", 5), (".dll.old", 3), (".dllx", 2), (".exe~", 2), (".EXE.BAK", 2),
    (".exe.config", 4), (".dll.manifest", 3),
]
# Kinds of candidate files and their shares.
CANDIDATE_KINDS = [("pe", 0.30), ("hook", 0.09), ("late", 0.05), ("plain", 0.56)]
HOOK_TEXTS = [b"SetWindowsHookExA", b"SetWindowsHookExW", b"SetWindowsHookA", b"SetWindowsHook"]
# Source texts that mention the function: the signature in a file that is no candidate.
SOURCE_WITH_SIGNATURE = 0.001
# The tree with many findings: its own seed and size, and far more listed files.
MANY_SEED = 20261211
MANY_FOLDERS = FOLDERS
MANY_FILES = FILES
MANY_CANDIDATE_SHARE = CANDIDATE_SHARE
MANY_KINDS = [("hook", 0.11), ("fx_zh", 0.06), ("fx_zh_bytes", 0.06), ("pe", 0.30), ("late", 0.05), ("plain", 0.42)]
MANY_FIXTURES = ("fx_zh", "fx_zh_bytes")  # publisher 示例软件公司, text lengths in characters and in bytes
# The tree of malformed executables: its own seed, the main tree's size and shape.
MALFORMED_SEED = 20261212
MALFORMED_KINDS = [("malformed", 0.13), ("pe", 0.30), ("late", 0.05), ("plain", 0.52)]
MALFORMED_LAYOUTS = ("mz_far", "mz_edge", "mz_negative", "mz_junk", "cut_file_header", "cut_optional",
                     "cut_sections", "sections_past_end", "rsrc_past_end", "rsrc_raw_past_end", "dir_past_end",
                     "dir_outside", "outside", "dir_loop", "dir_loop_root")
# Besides the layouts, files of any size whose pointer to the image header lies past their end or is cut by it.
MALFORMED_SIZED = ("past_end", "cut_by_end")
DOS_HEADER_TEXT_AT = 0x1C  # reserved words of the DOS header: up to 0x3C, the pointer
STUB_AT = 0x4E  # the DOS stub's text: the signature lands in the head without breaking the file
LOREM = (
    "Zorvane benchmark text. The quick brown fox jumps over the lazy dog. "
    "扫描目标 配置文件 日志记录 用户数据 0123456789\r\n"
).encode("gbk") * 64
MZ_HEADER = b"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff\x00\x00" + bytes(48)


def weighted(rng, items):
    return rng.choices([i[0] for i in items], weights=[i[1] for i in items])[0]


class Folder:
    def __init__(self, rel, depth):
        self.rel = rel  # "/"-separated, "" for the root
        self.depth = depth
        self.names = set()  # lower-case: Windows names differ by more than case

    def unique(self, name, rng):
        stem, dot, ext = name.partition(".")
        candidate = name
        while candidate.lower() in self.names:
            candidate = f"{stem}_{rng.randrange(1, 1000)}{dot}{ext}"
        self.names.add(candidate.lower())
        return candidate

    def child(self, name):
        return f"{self.rel}/{name}" if self.rel else name


def gbk_len(text):
    return len(text.encode("gbk"))


def make_folders(rng, count=FOLDERS):
    root = Folder("", 0)
    folders = [root]
    eligible = [root]
    for name in TOP_FOLDERS:
        f = Folder(root.child(root.unique(name, rng)), 1)
        folders.append(f)
        eligible.append(f)
    while len(folders) - 1 < count:
        parent = rng.choice(eligible)
        word = rng.choice(FOLDER_WORDS)
        if rng.random() < 0.3:
            word += f" {rng.randrange(1, 100)}"
        name = parent.unique(word, rng)
        f = Folder(parent.child(name), parent.depth + 1)
        if gbk_len(f.rel) > MAX_REL_PATH - 40:
            continue
        folders.append(f)
        if f.depth < 8:
            eligible.append(f)
    return folders


def pe_sources(dll_dir):
    """Wine's own PE files: the small ones, and every one that names the function somewhere."""
    small, named = [], []
    for name in sorted(os.listdir(dll_dir)):
        path = os.path.join(dll_dir, name)
        low = name.lower()
        if not os.path.isfile(path) or not (low.endswith(".dll") or low.endswith(".exe")):
            continue
        size = os.path.getsize(path)
        with open(path, "rb") as f:
            data = f.read()
        if SIGNATURE in data and size <= 1_500_000:
            named.append((name, path, data.find(SIGNATURE)))
        elif size <= 256 * 1024:
            small.append((name, path, data.find(SIGNATURE)))
    return small, named


def text_bytes(rng, size):
    start = rng.randrange(0, 512)
    data = LOREM[start:start + size]
    while len(data) < size:
        data += LOREM[: size - len(data)]
    return data


def plain_content(rng, kind, size):
    if kind == "text":
        return text_bytes(rng, size)
    if kind == "jpg":
        return b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + rng.randbytes(max(0, size - 11))
    if kind == "png":
        return b"\x89PNG\r\n\x1a\n" + rng.randbytes(max(0, size - 8))
    return rng.randbytes(size)


def crafted_pe(rng, size):
    return MZ_HEADER + rng.randbytes(max(0, size - len(MZ_HEADER)))


def place(data, text, at):
    return data[:at] + text + data[at + len(text):]


class Writer:
    def __init__(self, root, rng, small, named, kinds=CANDIDATE_KINDS, fixtures=None, malformed=None):
        self.root = root
        self.rng = rng
        self.small = small
        self.named = named
        self.kinds = kinds
        self.fixtures = fixtures or {}  # name -> library bytes
        self.malformed = malformed or {}  # layout -> image bytes
        self.expected = []
        self.count = {k: 0 for k in ("files", "candidates", "pe", "pe_named", "hook", "late", "plain",
                                     "source_with_signature", "boundary_in", "boundary_out", "bytes",
                                     "malformed")}
        self.count.update({k: 0 for k in self.fixtures})

    def write(self, folder, name, data):
        rel = folder.child(name)
        with open(os.path.join(self.root, rel), "wb") as f:
            f.write(data)
        self.count["files"] += 1
        self.count["bytes"] += len(data)
        return rel

    def copy(self, folder, name, source):
        rel = folder.child(name)
        shutil.copyfile(source, os.path.join(self.root, rel))
        self.count["files"] += 1
        self.count["bytes"] += os.path.getsize(source)
        return rel

    def name_for(self, folder, stem, ext):
        name = folder.unique(stem + ext, self.rng)
        if gbk_len(folder.child(name)) > MAX_REL_PATH:
            name = folder.unique("f" + ext, self.rng)
        return name

    def plain_file(self, folder):
        rng = self.rng
        ext, _, kind = PLAIN_EXTS[rng.choices(range(len(PLAIN_EXTS)), weights=[e[1] for e in PLAIN_EXTS])[0]]
        size = min(64 * 1024, int(rng.lognormvariate(6.5, 1.4)))
        data = plain_content(rng, kind, size)
        if rng.random() < SOURCE_WITH_SIGNATURE:
            # Source code and notes name the function too; they are no executables.
            ext = rng.choice([".cpp", ".h", ".txt"])
            data = text_bytes(rng, 200) + b"\r\nhook = SetWindowsHookExA(WH_KEYBOARD_LL, Proc, 0, 0);\r\n"
            self.count["source_with_signature"] += 1
        self.write(folder, self.name_for(folder, rng.choice(STEMS), ext), data)

    def candidate_file(self, folder):
        rng = self.rng
        self.count["candidates"] += 1
        kind = weighted(rng, self.kinds)
        self.count[kind] += 1
        if kind == "pe":
            self.pe_copy(folder)
            return
        if kind in self.fixtures:
            self.fixture_copy(folder, self.fixtures[kind])
            return
        if kind == "malformed":
            self.malformed_file(folder)
            return
        ext = weighted(rng, CANDIDATE_EXTS)
        stem = rng.choice(STEMS) + (str(rng.randrange(1, 100)) if rng.random() < 0.4 else "")
        if kind == "plain":
            if ext.endswith((".config", ".manifest")):
                data = b'<?xml version="1.0" encoding="utf-8"?>\r\n<configuration>\r\n' + text_bytes(rng, rng.randrange(200, 4000))
            else:
                data = crafted_pe(rng, rng.randrange(512, 64 * 1024))
            self.write(folder, self.name_for(folder, stem, ext), data)
            return
        text = rng.choice(HOOK_TEXTS)
        if kind == "hook":
            if self.count["hook"] % 50 == 0:
                size, at = rng.randrange(HEAD, 96 * 1024), LAST_START  # ends on the head's last byte
                self.count["boundary_in"] += 1
            else:
                size = rng.randrange(2048, 96 * 1024)
                at = rng.randrange(64, min(size, HEAD) - len(text))
        else:
            size = rng.randrange(HEAD + 1024, 128 * 1024)
            if self.count["late"] % 20 == 0:
                at = LAST_START + 1  # one byte too late: the head ends inside it
                self.count["boundary_out"] += 1
            else:
                at = rng.randrange(LAST_START + 1, size - len(text))
        data = place(crafted_pe(rng, size), text, at)
        rel = self.write(folder, self.name_for(folder, stem, ext), data)
        if SIGNATURE in data[:HEAD]:
            self.expected.append(rel)

    def fixture_copy(self, folder, library):
        """A library of another publisher with the signature in its DOS stub: listed, its publisher named."""
        rng = self.rng
        stem = rng.choice(STEMS) + (str(rng.randrange(1, 100)) if rng.random() < 0.4 else "")
        data = place(library, rng.choice(HOOK_TEXTS), STUB_AT)
        rel = self.write(folder, self.name_for(folder, stem, rng.choice([".dll", ".DLL", ".exe"])), data)
        self.expected.append(rel)

    def malformed_file(self, folder):
        """A malformed executable with the signature in its DOS header: listed, no publisher."""
        rng = self.rng
        stem = rng.choice(STEMS) + (str(rng.randrange(1, 100)) if rng.random() < 0.4 else "")
        kind = rng.choice(sorted(self.malformed) + list(MALFORMED_SIZED))
        if kind in MALFORMED_SIZED:
            size = rng.randrange(1024, 96 * 1024)
            data = bytearray(crafted_pe(rng, size))
            pointer = size + rng.randrange(0, 1 << 20) if kind == "past_end" else size - rng.randrange(1, 4)
            data[0x3C:0x40] = pointer.to_bytes(4, "little")
            data = bytes(data)
        else:
            data = self.malformed[kind]
        self.count["malformed_" + kind] = self.count.get("malformed_" + kind, 0) + 1
        data = place(data, rng.choice(HOOK_TEXTS), DOS_HEADER_TEXT_AT)
        rel = self.write(folder, self.name_for(folder, stem, rng.choice([".dll", ".DLL", ".exe", ".EXE"])), data)
        self.expected.append(rel)

    def pe_copy(self, folder):
        rng = self.rng
        # A few copies of the DLLs that name the function beyond the head.
        if self.named and rng.random() < 0.03:
            name, path, at = rng.choice(self.named)
            self.count["pe_named"] += 1
        else:
            name, path, at = rng.choice(self.small)
        r = rng.random()
        if r < 0.15:
            name = name.upper()
        elif r < 0.25:
            name = name[:1].upper() + name[1:].lower()
        elif r < 0.35:
            name += rng.choice([".bak", ".old", ".1"])
        rel = self.copy(folder, self.name_for(folder, "", name), path)
        if 0 <= at <= LAST_START:
            self.expected.append(rel)


def hash_dll_listing(h, dll_dir):
    """The DLL folder's names and sizes: the real PE files a tree copies."""
    for name in sorted(os.listdir(dll_dir)):
        path = os.path.join(dll_dir, name)
        if os.path.isfile(path):
            h.update(f"{name} {os.path.getsize(path)}\n".encode())


def stamp_of(dll_dir):
    h = hashlib.sha256()
    h.update(f"{GENERATOR_VERSION} {SEED} {FOLDERS} {FILES}\n".encode())
    hash_dll_listing(h, dll_dir)
    return f"generator {GENERATOR_VERSION} seed {SEED} dlls {h.hexdigest()[:16]}"


def fresh(out, name):
    work = os.path.join(out, f".{name}-new")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    return work


def commit(out, name, work):
    final = os.path.join(out, name)
    if os.path.exists(final):
        old = os.path.join(out, f".{name}-old")
        shutil.rmtree(old, ignore_errors=True)
        os.rename(final, old)
        shutil.rmtree(old)
    os.rename(work, final)


def many_stamp_of(dll_dir, fixtures):
    h = hashlib.sha256()
    h.update(f"{GENERATOR_VERSION} {MANY_SEED} {MANY_FOLDERS} {MANY_FILES} {MANY_CANDIDATE_SHARE} {MANY_KINDS}\n".encode())
    hash_dll_listing(h, dll_dir)
    for name in sorted(fixtures):
        h.update(name.encode() + hashlib.sha256(fixtures[name]).digest())
    return f"generator {GENERATOR_VERSION} seed {MANY_SEED} inputs {h.hexdigest()[:16]}"


def malformed_stamp_of(dll_dir, malformed):
    h = hashlib.sha256()
    h.update(f"{GENERATOR_VERSION} {MALFORMED_SEED} {FOLDERS} {FILES} {CANDIDATE_SHARE} {MALFORMED_KINDS} "
             f"{MALFORMED_SIZED} {DOS_HEADER_TEXT_AT}\n".encode())
    hash_dll_listing(h, dll_dir)
    for name in sorted(malformed):
        h.update(name.encode() + hashlib.sha256(malformed[name]).digest())
    return f"generator {GENERATOR_VERSION} seed {MALFORMED_SEED} inputs {h.hexdigest()[:16]}"


def write_tree(out, name, dll_dir, seed, folder_count, file_count, share, kinds=CANDIDATE_KINDS, fixtures=None,
               malformed=None):
    rng = random.Random(seed)
    work = fresh(out, name)
    folders = make_folders(rng, folder_count)
    for f in folders[1:]:
        os.makedirs(os.path.join(work, f.rel))
    small, named = pe_sources(dll_dir)
    if not small:
        sys.exit(f"make-tree: no PE files in {dll_dir}")
    # Some folders hold many files, most hold a few.
    weights = [rng.paretovariate(1.2) for _ in folders]
    owners = rng.choices(range(len(folders)), weights=weights, k=file_count)
    w = Writer(work, rng, small, named, kinds, fixtures, malformed)
    for i in owners:
        if rng.random() < share:
            w.candidate_file(folders[i])
        else:
            w.plain_file(folders[i])
    commit(out, name, work)
    with open(os.path.join(out, f"{name}.expected"), "w", encoding="utf-8") as f:
        f.writelines(rel + "\n" for rel in sorted(w.expected))
    info = dict(w.count)
    info.update(folders=len(folders) - 1, expected=len(w.expected),
                dlls_naming_signature=len(named),
                dlls_with_signature_in_head=sum(1 for s in small + named if 0 <= s[2] <= LAST_START),
                named_dlls=" ".join(f"{n}@{at}" for n, _, at in named))
    with open(os.path.join(out, f"{name}.info"), "w", encoding="utf-8") as f:
        f.writelines(f"{k}={v}\n" for k, v in info.items())


def make_memory_trees(out):
    long_name = "folder-with-a-rather-long-name-for-the-queue"
    shapes = {
        # 20,000 folders under the root: all of them wait in the queue at once.
        "mem-wide": [f"{long_name}-{i:05d}" for i in range(20000)],
        # 2,000 chains ten folders deep: about 2,000 wait at a time.
        "mem-chains": ["/".join([f"{long_name}-{i:04d}"] + [f"l{d}" for d in range(1, 10)]) for i in range(2000)],
        # 20 folders of 1,000 files.
        "mem-few": [f"{long_name}-{i:02d}" for i in range(20)],
        # 20,000 files in the root: what one long listing costs, with nothing queued.
        "mem-flat": [],
    }
    for name, leaves in shapes.items():
        work = fresh(out, name)
        for k in range(20000 if name == "mem-flat" else 0):
            open(os.path.join(work, f"note{k}.txt"), "wb").close()
        for leaf in leaves:
            parts = leaf.split("/")
            for d in range(1, len(parts) + 1):
                folder = os.path.join(work, *parts[:d])
                os.makedirs(folder, exist_ok=True)
                per_folder = 1000 if name == "mem-few" else 1
                for k in range(per_folder):
                    open(os.path.join(folder, f"note{k}.txt"), "wb").close()
        commit(out, name, work)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dlls", required=True, help="Wine's DLL folder of the template prefix")
    ap.add_argument("--fixtures", required=True, help="the unit tests' fixture libraries (fx_*.dll)")
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    fixtures = {}
    for name in MANY_FIXTURES:
        path = os.path.join(args.fixtures, name + ".dll")
        if not os.path.isfile(path):
            sys.exit(f"make-tree: no {path} (build the tests first)")
        with open(path, "rb") as f:
            fixtures[name] = f.read()
    malformed = {}
    for name in MALFORMED_LAYOUTS:
        path = os.path.join(args.fixtures, f"fx_lay_{name}.dll")
        if not os.path.isfile(path):
            sys.exit(f"make-tree: no {path} (build the tests first)")
        with open(path, "rb") as f:
            malformed[name] = f.read()
    malformed_stamp = malformed_stamp_of(args.dlls, malformed)
    malformed_stamp_file = os.path.join(args.out, "malformed.stamp")
    if (open(malformed_stamp_file).read().strip() if os.path.exists(malformed_stamp_file) else "") \
            == malformed_stamp and os.path.isdir(os.path.join(args.out, "malformed")):
        print(f"make-tree: tree of malformed executables up to date ({malformed_stamp})")
    else:
        if os.path.exists(malformed_stamp_file):
            os.remove(malformed_stamp_file)
        write_tree(args.out, "malformed", args.dlls, MALFORMED_SEED, FOLDERS, FILES, CANDIDATE_SHARE,
                   MALFORMED_KINDS, malformed=malformed)
        with open(malformed_stamp_file, "w") as f:
            f.write(malformed_stamp + "\n")
        print(f"make-tree: wrote the tree of malformed executables ({malformed_stamp})")
    many_stamp = many_stamp_of(args.dlls, fixtures)
    many_stamp_file = os.path.join(args.out, "many.stamp")
    if (open(many_stamp_file).read().strip() if os.path.exists(many_stamp_file) else "") == many_stamp \
            and os.path.isdir(os.path.join(args.out, "many")):
        print(f"make-tree: tree with many findings up to date ({many_stamp})")
    else:
        if os.path.exists(many_stamp_file):
            os.remove(many_stamp_file)
        write_tree(args.out, "many", args.dlls, MANY_SEED, MANY_FOLDERS, MANY_FILES, MANY_CANDIDATE_SHARE,
                   MANY_KINDS, fixtures)
        with open(many_stamp_file, "w") as f:
            f.write(many_stamp + "\n")
        print(f"make-tree: wrote the tree with many findings ({many_stamp})")
    stamp = stamp_of(args.dlls)
    stamp_file = os.path.join(args.out, "tree.stamp")
    current = open(stamp_file).read().strip() if os.path.exists(stamp_file) else ""
    if current == stamp and all(os.path.isdir(os.path.join(args.out, d)) for d in ("tree", "mem-wide", "mem-chains", "mem-few", "mem-flat")):
        print(f"make-tree: trees up to date ({stamp})")
        return
    if os.path.exists(stamp_file):
        os.remove(stamp_file)
    write_tree(args.out, "tree", args.dlls, SEED, FOLDERS, FILES, CANDIDATE_SHARE)
    make_memory_trees(args.out)
    with open(stamp_file, "w") as f:
        f.write(stamp + "\n")
    print(f"make-tree: wrote trees ({stamp})")


if __name__ == "__main__":
    main()
