package com.zel.io.file.cli;

import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.FileModes;
import com.zel.io.file.Kit;
import java.io.*;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.util.*;
import java.util.stream.*;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The nativefile command: a table of command lines, the launcher's log switches, and parts a fault could hide in. */
class CommandTest {
    @TempDir Path dir;

    @AfterEach
    void removable() {
        Kit.sh(dir, "chattr -R -ia . 2>/dev/null || true", Map.of());  // else the directory cannot be removed
    }

    /**
     * arguments | status | standard output | standard error | check, in this JVM, each row in a new directory with f
     * (0640), s (4755), d (1777), l (a link to f) and b (a link whose text is no UTF-8). In the texts @x is x there, ^ ends a line, {Class errno detail} is
     * that exception's message (see Kit), a final * any rest. check: {@code command => output}, run there afterwards.
     */
    @Test
    void commandLines() throws Exception {
        assumeTrue(Kit.ROOT, "the files must be root's");
        for (String row : """
                stat @f @l              | 0 | -rw-r----- 640 root root @f^lrwxrwxrwx 777 root root @l -> f |  |
                stat @d @s              | 0 | drwxrwxrwt 1777 root root @d^-rwsr-xr-x 4755 root root @s |  |
                stat --json @l          | 0 | [^  {"path": "@l", "type": "l", "mode": "lrwxrwxrwx", "octal": "777", "owner": "root", "group": "root", "symlink": true, "target": "f"}^] | |
                stat @nope - @f         | 1 | -rw-r----- 640 root root @f | nativefile: @nope: {FileNotFoundException 2 File does not exist on system or the file name was too long.}^nativefile: -: {FileNotFoundException 2 File does not exist on system or the file name was too long.} |
                chmod 4755 @f @nope @l  | 1 |  | nativefile: @nope: {FileNotFoundException 2 File does not exist on system or the file name was too long.} | stat -c %a f l => 4755 777
                chmod u=rwx,g=rx,o= @f  | 0 |  |  | stat -c %a f => 750
                chmod a+X,o+t @d @f     | 0 |  |  | stat -c %a d f => 1777 1640
                chown 1:2 @l            | 0 |  |  | stat -c %u:%g l f => 1:2 0:0
                chgrp 4 @l              | 0 |  |  | stat -c %g l f => 4 0
                ln to @n                | 0 |  |  | readlink n => to
                ln to @f                | 1 |  | nativefile: @f: File exists | stat -c %F f => regular empty file
                readlink @l @f          | 1 | f | nativefile: @f: {ExtendedIOException 22 System error occured.} |
                readlink @b             | 0 | caf\uFFFD |  |
                unlink @l @d            | 1 |  | nativefile: @d: {ExtendedIOException 21 Unknown system error occured.} | ls => b d f s
                df /proc                | 0 | Filesystem Size Used Avail Use% Mounted on^proc          0    0     0    - /proc |  |
                df --json /proc @nope   | 1 | [^  {"path": "/proc", "source": "proc", "target": "/proc", "size": 0, "free": 0, "available": 0, "usePercent": null}^] | nativefile: @nope: {FileNotFoundException 2 File does not exist on system or the file name was too long.} |
                mounts -o TARGET,NOPE   | 2 |  | nativefile: mounts: unknown column 'NOPE' USAGE mounts |
                mounts                  | 0 | Size Free Use% Mounted on^* |  |
                --help                  | 0 | Usage: nativefile [--debug] [--trace] COMMAND [ARGUMENT]...^* |  |
                                        | 2 |  | nativefile: missing command USAGE |
                frob                    | 2 |  | nativefile: unknown command 'frob' USAGE |
                --debug stat @f         | 2 |  | nativefile: --debug needs __JNI_NATIVEFILE_DEBUG set before Java starts; bin/nativefile sets it USAGE |
                stat                    | 2 |  | nativefile: stat: missing operand USAGE stat |
                ln a b c                | 2 |  | nativefile: ln: extra operand 'c' USAGE ln |
                chmod u+q @f            | 2 |  | nativefile: chmod: invalid mode 'u+q' USAGE chmod | stat -c %a f => 640
                chmod u+r, @f           | 2 |  | nativefile: chmod: invalid mode 'u+r,' USAGE chmod |
                chown : @f              | 2 |  | nativefile: chown: invalid owner ':' USAGE chown |
                xattr set user.x 0x41ff @f @l | 1 |  | nativefile: @l: {AccessDeniedException 1 Could not access the extended attributes of the file.  Permission denied.} | getfattr -e hex -n user.x f => # file: f user.x=0x41ff
                xattr set --create user.x '"a\\142\\""' @f | 0 |  |  | getfattr --only-values -n user.x f => ab"
                xattr rm user.x @f      | 1 |  | nativefile: @f: {ExtendedIOException 61 The file has no such extended attribute.} |
                chattr +i -d @f @d      | 0 |  |  | lsattr -d f d => ----i---------e------- f ----i---------e------- d
                chattr =A @l            | 1 |  | nativefile: @l: {NotSupportedException 95 The file system keeps no such flags for this file.} |
                ls @nope @f             | 1 | * | nativefile: @nope: {FileNotFoundException 2 File does not exist on system or the file name was too long.} |
                manifest --check m      | 2 |  | nativefile: manifest: missing operand after 'm' USAGE manifest |
                chattr +q @f            | 2 |  | nativefile: chattr: invalid flags '+q' USAGE chattr | lsattr -d f => --------------e------- f
                setfacl -m u:nobody:r,u:nosuch:r @f | 1 |  | nativefile: u:nobody:r,u:nosuch:r: {ExtendedIOException 22 The ACL text does not parse, or names an unknown user or group: 'u:nosuch:r'.} | getfacl -c f => user::rw- group::r-- other::---
                setfacl -m u:nobody:rw @f @l | 1 |  | nativefile: @l: {NotSupportedException 95 The file system keeps no such ACL for this file.} | getfacl -c f => user::rw- user:nobody:rw- group::r-- mask::rw- other::---
                setfacl -d -m g:adm:rx @d | 0 |  |  | getfacl -cd d => user::rwx group::rwx group:adm:r-x mask::rwx other::rwx
                setfacl -x u:nobody,g:adm: @f | 0 |  |  | getfacl -c f => user::rw- group::r-- other::---
                setfacl -m u:nobody:x @f -x g:adm | 2 |  | nativefile: setfacl: give one of -m, -x and -b USAGE setfacl |
                getfacl --json -d @d    | 0 | [^  {"path": "@d", "owner": "root", "group": "root", "access": [], "default": []}^] |  |
                setcap cap_kill=ep @f   | 0 |  |  | getcap f => f cap_kill=ep
                setcap -r @f            | 1 |  | nativefile: @f: {ExtendedIOException 61 The file has no capabilities.} |
                setcap cap_kill=ep      | 2 |  | nativefile: setcap: missing operand after 'cap_kill=ep' USAGE setcap |
                getcap --json @f @l     | 1 | [^  {"path": "@f", "capabilities": null}^] | nativefile: @l: {NotSupportedException 95 Only a regular file on a file system with extended attributes has capabilities.} |
                """.lines().toList()) {
            String[] c = Arrays.stream((" " + row + " ").split("(?<=\\s)\\|(?=\\s)", -1)).map(String::trim).toArray(String[]::new);
            Path d = Files.createTempDirectory(dir, "c");
            Kit.sh(d, "touch f s; chmod 640 f; chmod 4755 s; mkdir d; chmod 1777 d; ln -s f l; ln -s \"$(printf 'caf\\351')\" b", Map.of());
            ByteArrayOutputStream out = new ByteArrayOutputStream(), err = new ByteArrayOutputStream();
            int status = Main.run(Kit.words(c[0].replaceAll("(^|\\s)@", "$1" + d + "/")),
                    new Console(new PrintStream(out, true, StandardCharsets.UTF_8), new PrintStream(err, true, StandardCharsets.UTF_8)));
            String got = status + "|" + out.toString(StandardCharsets.UTF_8) + "|" + err.toString(StandardCharsets.UTF_8);
            String want = IntStream.range(1, 4).mapToObj(i -> i == 1 || c[i].isEmpty() || c[i].endsWith("*") ? c[i] : c[i] + "^").collect(Collectors.joining("|"))
                    .replaceAll("(^|\\s|\")@", "$1" + d + "/").replaceAll(" USAGE ?(\\w*)", "^Try 'nativefile $1 --help'.").replace("nativefile  --", "nativefile --");
            for (String e : want.split("[{}]")) if (e.matches("\\w+Exception \\d+ .*")) want = want.replace("{" + e + "}", Kit.expand(e).split(": ", 2)[1]);
            assertTrue(got.matches("(?s)" + java.util.regex.Pattern.quote(want.replace("^", "\n")).replace("*", "\\E.*\\Q")), row + "\ngot: " + got);
            if (c[4].contains("=>")) assertEquals(c[4].split("=>")[1].strip(), Kit.sh(d, c[4].split("=>")[0], Map.of()).strip().replaceAll("\\s+", " "), row);
        }
    }

    /** xattr list and get print what getfattr -h prints, lsattr what lsattr -d prints, byte for byte, for the same files. */
    @Test
    void xattrAndLsattrPrintWhatGetfattrAndLsattrPrint() throws Exception {
        assumeTrue(Kit.ROOT, "a link's trusted. attributes need root");
        Kit.sh(dir, "touch f1 'f2\\' \"$(printf 'f3\\nx')\"; mkdir d; ln -s f1 l; setfattr -n user.t -v '\"say \\\"hi\\\"\\\\\"' f1;"
                + " setfattr -n user.a=b -v 0x00ff01 f1; setfattr -n user.e f1; setfattr -n user.n -v \"$(printf 'x\\ny\\r')\" 'f2\\';"
                + " setfattr -n user.bin -v 0x41ff424344454647 d; setfattr -h -n trusted.l -v 1 l; chattr +dA f1; chattr +D d", Map.of());
        String paths = Stream.of("d", "f1", "f2\\", "f3\nx", "l").map(n -> dir + "/" + n).collect(Collectors.joining("\0"));
        for (String pair : List.of("xattr list|getfattr -h -m -", "xattr get user.t|getfattr -h -n user.t", "xattr get user.a=b|getfattr -h -n user.a=b",
                "xattr get user.e|getfattr -h -n user.e", "xattr get user.n|getfattr -h -n user.n", "xattr get user.bin|getfattr -h -n user.bin",
                "xattr get trusted.l|getfattr -h -n trusted.l", "lsattr|lsattr -d")) {
            String[] c = pair.split("\\|");
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            Main.run(Stream.concat(Kit.words(c[0]).stream(), Arrays.stream(paths.split("\0"))).toList(),
                    new Console(new PrintStream(out, true, StandardCharsets.UTF_8), new PrintStream(OutputStream.nullOutputStream())));
            assertEquals(Kit.sh(dir, "printf '%s\\0' '" + paths.replace("\0", "' '") + "' | xargs -0 " + c[1] + " 2>/dev/null || true", Map.of()),
                    out.toString(StandardCharsets.UTF_8), pair);
        }
    }

    /** getfacl (-d) and getcap print what getfacl (-d) and getcap print, byte for byte, for the same files. */
    @Test
    void aclAndCapabilityCommandsPrintWhatGetfaclAndGetcapPrint() throws Exception {
        assumeTrue(Kit.ROOT, "setcap needs root");
        Kit.sh(dir, "touch f 'g\\' \"$(printf 'h\\nx')\"; mkdir d; chmod 4750 f; chmod 3777 d; setfacl -m u:nobody:rwx,g:adm:r,m::r f;"
                + " setfacl -m d:u:nobody:rx,d:g:4321:w,u:4321:x d; setfacl -m u:nobody:- 'g\\'; setcap cap_kill,cap_chown=ep f; setcap = 'g\\'", Map.of());
        List<String> paths = Stream.of("f", "g\\", "h\nx", "d").map(n -> dir + "/" + n).toList();
        for (String command : List.of("getfacl", "getfacl -d", "getcap")) {
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            Main.run(Stream.concat(Kit.words(command).stream(), paths.stream()).toList(),
                    new Console(new PrintStream(out, true, StandardCharsets.UTF_8), new PrintStream(OutputStream.nullOutputStream())));
            assertEquals(Kit.sh(dir, "printf '%s\\0' '" + String.join("' '", paths) + "' | xargs -0 " + command + " 2>/dev/null || true", Map.of()),
                    out.toString(StandardCharsets.UTF_8), command);
        }
    }

    /**
     * mounts and df agree with findmnt and df, as root and as nobody (for whom ext4's reserved blocks are not available), on mounts made in a private namespace: names with
     * blanks, line feeds, backslashes and bytes that are no UTF-8, a read-only bind mount of a part, an overmount and a
     * mount hidden under a later one; a final link is not followed. Rows: who <> ours ($N is nativefile, $K Kit's call lines) <> theirs,
     * compared with blanks collapsed; OWN keeps the lines of the mounts made here that are not hidden.
     */
    @Test
    void mountsAndDfAsFindmntAndDfSeeThem() {
        assumeTrue(Kit.ROOT && Kit.run(List.of("unshare", "-m", "true"), Map.of(), true).status() == 0, "needs root and unshare");
        String rows = """
                root <> $N mounts -n -o TARGET,SOURCE,FSTYPE,OPTIONS <> findmnt -r -n -o TARGET,SOURCE,FSTYPE,OPTIONS
                root <> $N mounts -o ID,PARENT,MAJ:MIN,FSROOT,VFS-OPTIONS,FS-OPTIONS,PROPAGATION <> findmnt -r -o ID,PARENT,MAJ:MIN,FSROOT,VFS-OPTIONS,FS-OPTIONS,PROPAGATION
                root <> $N mounts -n -o TARGET,SIZE,AVAIL,USED,USE% | $OWN <> findmnt -r -n -o TARGET,SIZE,AVAIL,USED,USE% | $OWN
                root <> $N mounts | grep -e /over -e /hid <> for m in over hid/in; do echo - - - $D/$m; df -h --output=size,avail,pcent,target ${m%/in} | sed 1d; done
                root <> $N df $D/bind/x $D/over $D/hid "$D/a b" "$D/$T" "$D/$NL" "$D/b\\s" $D/\u00e9 <> df -h $D/bind/x $D/over $D/hid "$D/a b" "$D/$T" "$D/$NL" "$D/b\\s" $D/\u00e9
                root <> $N df -i $D/base $D/e <> df -i $D/base $D/e
                root <> $N df $D/base/l <> df -h $D/base
                root <> $N df --json $D/bind | sed '1d;$d' | tr -d '",' <> df -B1 --output=size,avail $D/bind | sed 1d | { read s a; echo "{path: $D/bind source: y target: $D/bind size: $s free: $a available: $a usePercent: 0}"; }
                root <> $K "Mounts.mountOf $D/bind/x" "Mounts.mountOf $D/base/l" | grep -o 'mountPoint=.*' <> for m in bind base; do findmnt -n -o TARGET,FSTYPE,OPTIONS,VFS-OPTIONS,FS-OPTIONS,PROPAGATION $D/$m | { read t f o v s p; echo "mountPoint=$t, type=$f, options=$o, mountOptions=$v, superOptions=$s, readOnly=$([ ${v%%,*} = ro ] && echo true || echo false), propagation=[$(echo $p | sed 's/,/, /' | tr a-z A-Z)]]"; }; done
                root <> $N mounts -n -o OPTIONS,FS-OPTIONS | grep -F workdir=ov/w <> findmnt -r -n -o OPTIONS,FS-OPTIONS $D/ov/m | awk 'length($1) > 4095 && length($2) > 4095'
                nobody <> $N df $D/e $D/base <> df -h $D/e $D/base
                nobody <> $N mounts -n -o TARGET,SOURCE,SIZE,AVAIL,USE% | $OWN <> findmnt -r -n -o TARGET,SOURCE,SIZE,AVAIL,USE% | $OWN
                """;
        String script = """
                mount --make-rprivate /; cd "$D"; chmod 755 .
                set -- 1500k 10000k 123456k 1m 999k 1023k
                for m in 'a b' "$T" "$NL" 'b\\s' "$(printf 'caf\\351')" \u00e9; do mkdir "$m"; mount -t tmpfs -o size=$1 "src $m" "$m"; shift; done
                mkdir base bind over hid; mount -t tmpfs -o size=2m y base; mkdir base/sub; touch base/sub/x; ln -s ../bind base/l; mount --make-shared base
                mount --bind base/sub bind; mount --make-slave bind; mount -o remount,bind,ro bind; mount --make-unbindable \u00e9
                mount -t tmpfs o1 over; mount -t tmpfs -o size=3m o2 over
                mkdir hid/in; mount -t tmpfs h1 hid/in; mount -t tmpfs h2 hid
                truncate -s 8M i; mkfs.ext4 -q -F -m 10 i; mkdir e; mount -o loop i e; chmod 755 e
                mkdir ov ov/w ov/m; L=lowerdir=; for i in $(seq 68); do l=ov/$(printf %055d $i); mkdir $l; L=$L$l:; done
                u=ov/u$(printf %0$((4066-${#L}))d 0); mkdir $u; mount -t overlay -o "nosuid,nodev,noexec,noatime,${L%:},upperdir=$u,workdir=ov/w" o ov/m
                printf %s "$ROWS" | while read -r row; do
                  who=${row%% <> *}; rest=${row#* <> }; as=; [ $who = root ] || as="setpriv --reuid=65534 --regid=65534 --clear-groups"
                  $as sh -c "${rest%% <> *}" 2>&1 | sed 's/[[:blank:]]\\{1,\\}/ /g;s/^ //' >ours
                  $as sh -c "${rest#* <> }" 2>&1 | sed 's/[[:blank:]]\\{1,\\}/ /g;s/^ //' >theirs
                  cmp -s ours theirs || { echo "$row"; diff ours theirs; }
                done
                """;
        String java = String.join(" ", Kit.java(List.of(), Main.class.getName())), kit = String.join(" ", Kit.java(List.of(), Kit.class.getName()));
        var r = Kit.run(List.of("unshare", "-m", "sh", "-ec", script), Map.of("D", dir.toString(), "N", java, "K", kit, "ROWS", rows, "LC_ALL",
                "C.UTF-8", "T", "t\tx", "NL", "n\nl", "OWN", "grep -F -e " + dir + "/ | grep -v -e /over -e /hid/in"), true);
        assertEquals("", r.out());
    }

    /** Through bin/nativefile: --debug shows that chmod makes one change, --trace the calls. */
    @Test
    void theLauncherSwitchesTheLogsOn() throws Exception {
        Path f = Files.createFile(dir.resolve("f")), l = Files.createSymbolicLink(dir.resolve("l"), f.getFileName());
        String jar = Arrays.stream(System.getProperty("java.class.path").split(":")).filter(j -> j.endsWith("/nativefile.jar")).findFirst().orElseThrow();
        Map<String, String> env = Map.of("JAVA_HOME", System.getProperty("java.home"), "NATIVEFILE_JAR", jar, "NATIVEFILE_JAVA_OPTIONS", "-Xcheck:jni -XX:-UsePerfData -Djava.io.tmpdir=" + System.getProperty("java.io.tmpdir"));
        String launcher = System.getProperty("nativefile.source") + "/bin/nativefile";
        String debug = Kit.run(List.of(launcher, "--debug", "chmod", "u=rwx,g=,o=", f.toString()), env, true).out();
        String trace = Kit.run(List.of(launcher, "--trace", "readlink", l.toString()), env, true).out();
        assertEquals(List.of("[" + f + "] to: [0x1c0]"), debug.lines().filter(x -> x.contains("Setting file mode")).map(x -> x.replaceAll(".*for file: ", "")).toList());
        assertTrue(debug.contains("]: Nativefile library initialized.  Build version is: [") && !debug.matches("(?s).*(entering|exiting): .*")
                && trace.contains("]: < exiting: [Java_com_zel_io_file_UnixNativeFile_getSymLinkValue]\nf\n") && !trace.contains("STATing"), debug + trace);
    }

    /** Sizes as numfmt prints them, modes in ls -l letters as stat shows them, MODE texts as chmod applies them (umask 022). */
    @Test
    void partsAsCoreutilsSeeThem() throws Exception {
        long[] sizes = {0, 1023, 1024, 1025, 10239, 10240, 10241, 1048575, 1572864, 5_000_000_000L, Long.MAX_VALUE};
        assertEquals(Kit.sh(dir, "numfmt --to=iec --round=up " + LongStream.of(sizes).mapToObj(Long::toString).collect(Collectors.joining(" ")), Map.of()),
                LongStream.of(sizes).mapToObj(HumanSize::format).collect(Collectors.joining("\n", "", "\n")));
        assertEquals(Arrays.asList(100, 0, 67, null), Stream.of(new Space(1000, 1), new Space(1000, 1000), new Space(3, 1), new Space(0, 0)).map(Space::usePercent).toList());
        assertEquals("{\"k\": \"q\\\"\\\\\\u007f\\u00e9\\u000a\", \"n\": null, \"b\": true, \"i\": 5}", Json.object("k", "q\"\\\u007f\u00e9\n", "n", null, "b", true, "i", 5));
        Table table = new Table("ll");
        List.of("\uD83D\uDE00 x", "ab y").forEach(r -> table.add(r.split(" ")));
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        table.print(new PrintStream(out, true, StandardCharsets.UTF_8));
        assertEquals("\uD83D\uDE00  x\nab y\n", out.toString(StandardCharsets.UTF_8));
        int[] modes = {04755, 02644, 01777, 07000, 06711, 03010};
        String ls = Kit.sh(dir, IntStream.of(modes).mapToObj(m -> String.format("touch m%o; chmod %1$o m%1$o; stat -c %%A m%1$o%n", m)).collect(Collectors.joining()), Map.of());
        assertEquals(ls.replaceAll("(?m)^-", ""), IntStream.of(modes).mapToObj(m -> FileModes.toLsString(m) + "\n").collect(Collectors.joining()));
        assertEquals(IntStream.of(modes).boxed().toList(), ls.lines().map(l -> FileModes.fromLsString(l.substring(1))).toList());
        assertThrows(IllegalArgumentException.class, () -> FileModes.fromLsString("rwxrwxrwz"));
        String changes = "4755 0 u=rwx,g=rx,o= u+s,g-s +t o+t a+X -w =r,+X go-rwx ug+x-w u=,o=t +s a=,u+t";
        assertEquals(Kit.sh(dir, "umask 022; for s in 640 751 777 d750; do for c in " + changes + "; do rm -rf t; case $s in d*) mkdir t;; *) touch t;; esac;"
                + " chmod ${s#d} t; chmod -- $c t; stat -c %a t; done; done", Map.of()), Stream.of("640", "751", "777", "d750").flatMap(s -> Stream.of(changes.split(" "))
                .map(c -> Integer.toOctalString(ModeChange.parse(c).apply(Integer.parseInt(s.replace("d", ""), 8), () -> s.startsWith("d"), 022)) + "\n")).collect(Collectors.joining()));
    }
}
