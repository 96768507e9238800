package com.zel.io.file;

import java.nio.file.*;
import java.util.Collections;
import java.util.stream.*;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The library's methods, a table per capability (see Kit), judged by stat, df, findmnt, getent and readlink. */
class ApiTest {
    @TempDir Path base;

    @AfterEach
    void removable() {
        Kit.sh(base, "chattr -R -ia . 2>/dev/null || true", java.util.Map.of());  // else the directory cannot be removed
    }

    @Test
    void modesByTriplesSpecialBitsAndWhole() throws Exception {
        Kit.table(base, """
                | touch f; chmod 4754 f | getUserPermissions @f     | 7     |
                | touch f; chmod 4754 f | getGroupPermissions @f    | 5     |
                | touch f; chmod 4754 f | getWorldPermissions @f    | 4     |
                | touch f; chmod 4754 f | isSetUIDBit @f            | true  |
                | touch f; chmod 2640 f | isSetGIDBit @f            | true  |
                | mkdir d; chmod 1777 d | isSetStickyBit @d         | true  |
                | touch f; chmod 6640 f | setUserPermissions @f 5   | ok | stat -c %a f => 6540
                | touch f; chmod 4640 f | setGroupPermissions @f 7  | ok | stat -c %a f => 4670
                | touch f; chmod 1640 f | setWorldPermissions @f -1 | ok | stat -c %a f => 1647
                | touch f; chmod 2640 f | setPermissions @f 8 -2147483647 2147483646 | ok | stat -c %a f => 2016
                | touch f; chmod 6755 f | setUIDBit @f false        | ok | stat -c %a f => 2755
                | touch f; chmod 4755 f | setGIDBit @f true         | ok | stat -c %a f => 6755
                | mkdir d; chmod 1777 d | setStickyBit @d false     | ok | stat -c %a d => 777
                | touch x; chmod 600 x; ln -s x l | setGroupPermissions @l 7 | ok | stat -c %a x l => 600 777
                |         | setUserPermissions @nope 7 | FileNotFoundException 2 File does not exist on system or the file name was too long.  |
                nobody | mkdir -m 700 c; touch c/f | setUserPermissions @c/f 7 | AccessDeniedException 13 Could not query file for information.  Permission denied. |
                nobody | touch f; chown 65534 f; chmod 640 f | setGroupPermissions @f 7 | ok | stat -c %a f => 670
                ns ro  | mkdir r; touch r/f; mount --bind r r; mount -o remount,bind,ro r | setPermissions @r/f 7 7 7 | ExtendedIOException 30 Unknown system error occured. |
                | touch f; chmod 4751 f | getMode @f       | $((0$(stat -c %a f))) |
                | touch f; chmod 640 f  | setMode @f 04755 | ok | stat -c %a f => 4755
                | touch f               | setMode @f 0177777 | ok | stat -c %a f => 7777
                | touch x; chmod 600 x; ln -s x l | setMode @l 07777 | ok | stat -c %a x => 600
                | touch f; chmod 640 f  | NativeFiles.setMode @f 03751 | ok | stat -c %a f => 3751
                | touch f; chmod 4640 f | NativeFiles.getPosixFilePermissions @f | OWNER_READ OWNER_WRITE GROUP_READ |
                | touch f; chmod 4644 f | NativeFiles.setPosixFilePermissions @f rwx-----x | ok | stat -c %a f => 4701
                | touch f; chmod 640 f  | NativeFiles.setWorldPermissions @f 5 | ok | stat -c %a f => 645
                root | touch f; chown 1:2 f | NativeFiles.getFileOwner @f | $(stat -c %U f) |
                nobody | touch f; chmod 4755 f | setMode @f 0777 | ExtendedIOException 1 Unknown system error occured. | stat -c %a f => 4755
                """);
    }

    @Test
    void ownershipByNameAndIdOfFilesAndOfLinksThemselves() throws Exception {
        Kit.table(base, """
                root | touch f                  | setFileOwner @f 019        | ok | stat -c %u:%g f => 19:0
                root | touch f; chown 54321:9 f | getFileOwner @f            | 54321 |
                root | touch f; chown 1:2 f     | getFileGroup @f            | $(getent group 2|cut -d: -f1) |
                root | touch x; ln -s x l       | setFileOwner @l 1          | ok | stat -c %u l x => 1 0
                root | ln -s nowhere l          | setFileGroup @l 3          | ok | stat -c %g l => 3
                root | touch f                  | setFileOwner @f 2147483648 | InvalidUserException 0 Problems retrieving UID information.  The string was an invalid UID, and it couldn't be mapped to a username either.  | stat -c %u f => 0
                root | touch f                  | setFileOwner @f no-such    | InvalidUserException 0 The username passed down does not appear to exist on the system.  Cannot re-assign.  |
                root | touch f                  | setFileGroup @f no-such    | InvalidGroupException 0 Problems retrieving GID information.  The string was an invalid GID, and it couldn't be mapped to a groupname, either. |
                root |                          | setFileOwner @nope no-such | FileNotFoundException 2 File does not exist on system or the file name was too long. |
                ns | touch f                    | setFileOwner @f tester     | ok | stat -c %u:%g f => 4100:0
                ns | touch f                    | setFileGroup @f crowd      | ok | stat -c %g f => 4500
                ns | touch f                    | setFileOwner @f 4294967296 | ok | stat -c %u f => 4296
                ns | touch f                    | setFileGroup @f j\u00fcrgen | ok | stat -c %g f => 4200
                ns | touch f; chown 4200:4100 f | getFileOwner @f            | j\u00fcrgen |
                ns | touch f; chown 4200:4100 f | getFileGroup @f            | testers |
                nobody | touch f                | setFileOwner @f 65534      | AccessDeniedException 1 Could not change ownership of file.  Permission denied. | stat -c %u f => 0
                ns ro | mkdir r; touch r/f; mount --bind r r; mount -o remount,bind,ro r | setFileOwner @r/f 1 | AccessDeniedException 30 Could not change ownership of file.  Permission denied. |
                """);
    }

    @Test
    void symbolicLinksCreatedReadAndDeletedExistingEntriesLeftAlone() throws Exception {
        Kit.table(base, """
                | touch f             | getSymLinkValue @f      | ExtendedIOException 22 System error occured. |
                |                     | createSymLink @l 'to x' | ok | readlink l => to x
                | ln -s old l         | createSymLink @l new    | ok | readlink l => old
                | touch x; ln -s x l  | symlinkDelete @l        | ok | ls => x
                |                     | symlinkDelete @nope     | FileNotFoundException 2 Symlink does not exist on system or the symlink name was too long. |
                nobody | mkdir d              | createSymLink @d/l x | AccessDeniedException 13 Could not create the link.  Permission denied.   | ls d|wc -l => 0
                nobody | mkdir d; ln -s x d/l | symlinkDelete @d/l   | AccessDeniedException 13 Could not access symlink for removal.  Permission denied. | readlink d/l => x
                """);
    }

    @Test
    void mountPointsAndSpaceAsDfAndFindmntSeeThem() throws Exception {
        Kit.table(base, """
                |         | getFileSystemSize @    | $(df -B1 --output=size .|tail -1) |
                nobody | mkdir -m 700 c | getFileSystemSize @c/x | AccessDeniedException 13 Could not access denoted path for space determination.  Permission denied. |
                ns | mkdir m; mount -t tmpfs -o size=4m x m; head -c 1048576 /dev/zero >m/f | getFileSystemSize @m/f | 4194304 |
                ns | mkdir m; mount -t tmpfs -o size=4m x m; head -c 1048576 /dev/zero >m/f | getFreeSpace @m/f | $(df -B1 --output=avail m|tail -1) |
                ns mounts | eval "$SPACES" | getMountedFileSystems | $(findmnt -ln -o TARGET) |
                ns ext2 | eval "$EXT2" | getFileSystemSize @m | $(df -B1 --output=size m|tail -1) |
                ns ext2 | eval "$EXT2" | getFreeSpace @m      | $(($(stat -f -c '%f*%S' m))) |
                ns ext2 nobody | eval "$EXT2" | getFreeSpace @m | $(df -B1 --output=avail m|tail -1) |
                | | Mounts.mountOf ~ | ExtendedIOException 0 filename passed in was NULL. |
                | | Mounts.space @nope | FileNotFoundException 2 File does not exist on system or the file name was too long. |
                nobody | mkdir -m 700 c | Mounts.mountOf @c/x | AccessDeniedException 13 Could not query file for information.  Permission denied. |
                ns | mkdir m; mount -t tmpfs -o size=4m,nr_inodes=100 x m; touch m/f | Mounts.space @m/f | MountSpace[total=4194304, free=4194304, available=4194304, inodes=100, freeInodes=98] |
                """, "SPACES=d=$(printf %250s ''); d=$d/$d/$d/$d/$d/$d/$d/$d/$d/$d/$d/$d; mkdir -p \"$d\" 'a b' t;"
                + " mount -t tmpfs x \"$d\"; mount -t tmpfs x 'a b'; mount -t tmpfs x t; mount -t tmpfs x t",
                "EXT2=truncate -s 8M i; mke2fs -q -F -t ext2 -b 1024 -m 10 i; mkdir m; mount -o loop i m; chmod 755 m;"
                + " test $(stat -f -c %f m) -gt $(stat -f -c %a m)");
    }

    @Test
    void textsTravelAsUtf8OrTheLocalesCodePageRawBytesKeptNullsRefused() throws Exception {
        int rest = 4096 - (base + "/r1000/").length() - 3;
        Kit.table(base, """
                C | touch "$(printf '\\360\\237\\230\\200')"; chmod 640 * | getGroupPermissions @\uD83D\uDE00 | 4 |
                C | ln -s "$(printf 'caf\\351/\\200/\\300\\257\\355\\240\\200')" l | getSymLinkValue @l | caf\uDCE9/\uDC80/\uDCC0\uDCAF\uDCED\uDCA0\uDC80 |
                | ln -s "$(printf '\\360\\220\\200\\200')" l | getSymLinkValue @l | \uD800\uDC00 |
                |  | createSymLink @l caf\uDCE9\uDC80\uDBFF\uDFFF | ok | readlink -n l|od -An -tx1 => 63 61 66 e9 80 f4 8f bf bf
                latin1 | ln -s "$(printf 'caf\\351')" l | getSymLinkValue @l | caf\u00E9 |
                latin1 | ln -s "$(printf '\\303\\251')" l | getSymLinkValue @l | \u00C3\u00A9 |
                latin1 | | createSymLink @l caf\u00E9 | ok | readlink -n l|od -An -tx1 => 63 61 66 e9
                latin1 | touch "$(printf 'caf\\351')"; ln -s "$(printf '\\303\\251')" l | Kit.scanned @ | caf\u00E9 l>\u00C3\u00A9 |
                C | touch "$(printf 'caf\\351')" "$(printf '\\360\\237\\230\\200')"; ln -s "$(printf '\\200')" l | Kit.scanned @ | caf\uDCE9 l>\uDC80 \uD83D\uDE00 |
                latin1 | | createSymLink @l \u00E9\u20AC | ok | readlink -n l|od -An -tx1 => c3 a9 e2 82 ac
                latin1 | | isSymLink @$LONG | FileNotFoundException 36 File does not exist on system or the file name was too long. |
                | | isSymLink @a\u0000b      | ExtendedIOException 22 Unknown system error occured. |
                | ln -s "$LINKTEXT" l | getSymLinkValue @l | $LINKTEXT |
                |  | createSymLink @l $TOOLONG  | FileNotFoundException 36 File does not exist on system or the file name was too long. |
                | | isSymLink ~              | ExtendedIOException 0 filename passed in was NULL.      |
                | | setFileOwner @nope ~     | ExtendedIOException 0 filename or username passed in was NULL.  |
                | | createSymLink @l ~       | ExtendedIOException 0 filename to link to, and/or from, passed in was NULL.  |
                """, "LONG=" + "e/".repeat(rest / 2) + "e".repeat(rest % 2) + "\u20AC", "LINKTEXT=" + "t/".repeat(2046) + "t\u00E9",
                "TOOLONG=" + "t/".repeat(2047) + "\u00E9");
    }

    @Test
    void extendedAttributesAsBytesOnAFileOrALinkItself() throws Exception {
        Kit.table(base, """
                | touch f; setfattr -n user.a -v 0xff00fe41 f | ExtendedAttributes.get @f user.a | \u00ff\u0000\u00feA |
                | touch f | ExtendedAttributes.set @f user.b \u00ff\u0000x '' | ok | getfattr -e hex -n user.b f => # file: f user.b=0xff0078
                | touch f | ExtendedAttributes.set @f user.e '' '' | ok | getfattr -n user.e f => # file: f user.e=""
                | touch f; setfattr -n user.b f; setfattr -n user.a -v 1 f | ExtendedAttributes.list @f | user.b user.a |
                | touch f; setfattr -n user.a -v 1 f; setfattr -n user.b f | ExtendedAttributes.remove @f user.a | ok | getfattr -d f => # file: f user.b=""
                | touch f; setfattr -n user.a -v 1 f | ExtendedAttributes.set @f user.a 2 CREATE | ExtendedIOException 17 The extended attribute exists already. | getfattr --only-values -n user.a f => 1
                | touch f; setfattr -n user.a -v 1 f | ExtendedAttributes.set @f user.a 2 REPLACE | ok | getfattr --only-values -n user.a f => 2
                | touch f | ExtendedAttributes.set @f user.a 2 REPLACE | ExtendedIOException 61 The file has no such extended attribute. | getfattr -d f|wc -c => 0
                | touch f | ExtendedAttributes.remove @f user.a | ExtendedIOException 61 The file has no such extended attribute. |
                | mkdir d; setfattr -n user.a -v 1 d | ExtendedAttributes.get @d user.a | 1 |
                | touch x; ln -s x l | ExtendedAttributes.set @l user.u v '' | AccessDeniedException 1 Could not access the extended attributes of the file.  Permission denied. | getfattr -d x|wc -c => 0
                | touch f; setfattr -n user.a -v 1 f | ExtendedAttributes.set @f user.a $BIG '' | ExtendedIOException 7 The extended attribute's name or value is over the system's limit. | getfattr --only-values -n user.a f => 1
                |  | ExtendedAttributes.list @nope | FileNotFoundException 2 File does not exist on system or the file name was too long. |
                root | touch x; ln -s x l | ExtendedAttributes.set @l trusted.t v '' | ok | getfattr -h --only-values -n trusted.t l; getfattr -m - -d x|wc -c => v0
                root | touch x; setfattr -n trusted.t -v 1 x; ln -s x l; setfattr -h -n trusted.l l | ExtendedAttributes.list @l | trusted.l |
                root | touch x; setfattr -n trusted.t -v 1 x; ln -s x l | ExtendedAttributes.get @l trusted.t | ExtendedIOException 61 The file has no such extended attribute. |
                root | touch x; setfattr -n trusted.t -v 1 x; ln -s x l | ExtendedAttributes.remove @l trusted.t | ExtendedIOException 61 The file has no such extended attribute. | getfattr --only-values -n trusted.t x => 1
                nobody | touch f; setfattr -n user.a -v 1 f | ExtendedAttributes.set @f user.a 2 '' | AccessDeniedException 13 Could not access the extended attributes of the file.  Permission denied. |
                root | mkfifo p | ExtendedAttributes.set @p trusted.p v '' | ok | getfattr --only-values -n trusted.p p => v
                """, "BIG=" + "v".repeat(65537));
    }

    @Test
    void inodeFlagsAsLsattrShowsThemOnExt4AndTmpfs() throws Exception {
        Kit.table(base, """
                root | touch f; chattr +dA f | InodeFlags.get @f | $(lsattr -d f|cut -d' ' -f1) |
                root | touch f; chattr +d f  | InodeFlags.add @f iA | ok | lsattr -d f => ----i-dA------e------- f
                root | touch f; chattr +dA f | InodeFlags.remove @f dS | ok | lsattr -d f => -------A------e------- f
                root | touch f; chattr +dA f | InodeFlags.set @f ea | ok | lsattr -d f => -----a--------e------- f
                root | touch f; chattr +d f  | InodeFlags.change @f a d | ok | lsattr -d f => -----a--------e------- f
                root | mkdir d | InodeFlags.add @d D | ok | lsattr -d d => ---D----------e------- d
                root | touch x; ln -s x l | InodeFlags.add @l d | NotSupportedException 95 The file system keeps no such flags for this file. | lsattr -d x => --------------e------- x
                root | mkfifo p | InodeFlags.get @p | NotSupportedException 95 The file system keeps no such flags for this file. |
                nobody | touch f; chown 65534 f | InodeFlags.add @f i | AccessDeniedException 1 Could not access the flags of the file.  Permission denied. | lsattr -d f => --------------e------- f
                nobody | touch f; chown 65534 f | InodeFlags.add @f d | ok | lsattr -d f => ------d-------e------- f
                ns ext4 | eval "$EXT4"; touch m/f; chattr +dAi m/f | InodeFlags.get @m/f | $(lsattr -d m/f|cut -d' ' -f1) |
                ns ext4 | eval "$EXT4"; touch m/f | InodeFlags.add @m/f Si | ok | debugfs -R 'stat /f' i 2>&1|grep -o 'Flags: 0x[0-9a-f]*' => Flags: 0x80018
                ns tmpfs | mkdir m; mount -t tmpfs x m; touch m/f; chattr +d m/f | InodeFlags.get @m/f | $(lsattr -d m/f|cut -d' ' -f1) |
                ns tmpfs | mkdir m; mount -t tmpfs x m; touch m/f | InodeFlags.add @m/f e | NotSupportedException 95 The file system keeps no such flags for this file. |
                """, "EXT4=truncate -s 8M i; mkfs.ext4 -q -F i; mkdir m; mount -o loop i m");
    }

    @Test
    void aclsAsGetfaclAndSetfaclSeeThemOnExt4AndTmpfs() throws Exception {
        Kit.table(base, """
                | touch f; setfacl -m u:nobody:rx,g:adm:w f | PosixAcls.get @f ACCESS | $(getfacl -c f) |
                | touch f; setfacl -m u:4000000000:r,g:3000000000:w f | PosixAcls.get @f ACCESS | $(getfacl -c f) |
                | mkdir d; setfacl -m d:u:nobody:r d | PosixAcls.get @d DEFAULT | $(getfacl -cd d) |
                | touch f | PosixAcls.get @f DEFAULT | |
                | touch f | PosixAcls.modify @f ACCESS u:nobody:rwx,g:adm:r | ok | getfacl -c f => user::rw- user:nobody:rwx group::r-- group:adm:r-- mask::rwx other::r--
                | touch f; setfacl -m u:nobody:rwx f | PosixAcls.modify @f ACCESS u:daemon:r,m::r,o::x | ok | getfacl -c f => user::rw- user:daemon:r-- user:nobody:rwx #effective:r-- group::r-- mask::r-- other::--x
                | touch f; setfacl -m u:nobody:rwx,g:adm:r f | PosixAcls.remove @f ACCESS u:nobody:- | ok | getfacl -c f => user::rw- group::r-- group:adm:r-- mask::r-- other::r--
                | mkdir d; setfacl -m u:nobody:rwx,d:u:nobody:r d; chmod g=rwx d | PosixAcls.removeExtended @d | ok | getfacl -c d => user::rwx group::r-x other::r-x
                | mkdir d | PosixAcls.modify @d DEFAULT u:nobody:rx | ok | getfacl -cd d => user::rwx user:nobody:r-x group::r-x mask::r-x other::r-x
                | mkdir d; setfacl -m d:u:nobody:r d | PosixAcls.removeDefault @d | ok | getfacl -cd d|wc -c => 0
                | touch f | PosixAcls.set @f ACCESS u::rw,u:nobody:r,g::-,o::- | ok | getfacl -c f => user::rw- user:nobody:r-- group::--- mask::r-- other::---
                | touch f; chmod 640 f | PosixAcls.set @f ACCESS u::rw,u:nobody:r,g::- | ExtendedIOException 22 The ACL is not valid: it needs one owner, group and other entry, a mask with named entries, no entry twice. | getfacl -c f => user::rw- group::r-- other::---
                | touch x; ln -s x l | PosixAcls.modify @l ACCESS u:nobody:r | NotSupportedException 95 The file system keeps no such ACL for this file. | getfacl -c x => user::rw- group::r-- other::r--
                | mkfifo p | PosixAcls.get @p ACCESS | NotSupportedException 95 The file system keeps no such ACL for this file. |
                | touch f | PosixAcls.modify @f DEFAULT u:nobody:r | NotSupportedException 95 The file system keeps no such ACL for this file. |
                |  | PosixAcls.toText 'user::rw,u:nobody:r,g::r,mask::r,o::-' | u::rw-,u:nobody:r--,g::r--,m::r--,o::--- |
                |  | PosixAcls.toText $LONG | $LONG |
                |  | PosixAcls.parse 'u:nobody:r,u:nosuch:r' | ExtendedIOException 22 The ACL text does not parse, or names an unknown user or group: 'u:nosuch:r'. |
                nobody | touch f | PosixAcls.modify @f ACCESS u:nobody:r | AccessDeniedException 1 Could not access the ACL of the file.  Permission denied. | getfacl -c f => user::rw- group::r-- other::r--
                nobody | touch f; chown 65534 f | PosixAcls.modify @f ACCESS g:adm:r | ok | getfacl -c f => user::rw- group::r-- group:adm:r-- mask::r-- other::r--
                ns | touch f; setfacl -m u:4123:r,u:4900:w,g:4500:x,u:4999:r f | PosixAcls.get @f ACCESS | $(getfacl -c f) |
                ns | touch f | PosixAcls.modify @f ACCESS u:tester:r,g:crowd:w | ok | getfacl -cn f => user::rw- user:4100:r-- group::r-- group:4500:-w- mask::rw- other::r--
                ns | touch f | PosixAcls.modify @f ACCESS u:j\u00fcrgen:r | ok | getfacl -cn f => user::rw- user:4200:r-- group::r-- mask::r-- other::r--
                ns | touch f; setfacl -m u:4200:r,g:4200:w f | PosixAcls.get @f ACCESS | $(getfacl -c f) |
                ns ro | mkdir r; touch r/f; mount --bind r r; mount -o remount,bind,ro r | PosixAcls.modify @r/f ACCESS u:nobody:r | AccessDeniedException 30 Could not access the ACL of the file.  Permission denied. |
                nobody | mkdir -m 700 d; touch d/f | PosixAcls.get @d/f ACCESS | AccessDeniedException 13 Could not query file for information.  Permission denied. |
                | mkdir d; setfacl -m d:u:nobody:r d | PosixAcls.set @d DEFAULT '' | ok | getfacl -cd d|wc -c => 0
                ns ext4 | eval "$EXT4"; mkdir m/d; setfacl -m u:nobody:rx,d:g:adm:w m/d | PosixAcls.get @m/d DEFAULT | $(getfacl -cd m/d) |
                ns ext4 | eval "$EXT4"; touch m/f | PosixAcls.modify @m/f ACCESS g:adm:rw | ok | eval "$AGAIN" getfacl -c m/f => user::rw- group::r-- group:adm:rw- mask::rw- other::r--
                ns tmpfs | mkdir m; mount -t tmpfs x m; touch m/f; setfacl -m u:nobody:w m/f | PosixAcls.get @m/f ACCESS | $(getfacl -c m/f) |
                ns tmpfs | mkdir m; mount -t tmpfs x m; touch m/f; setfacl -m "$MANY" m/f | PosixAcls.get @m/f ACCESS | $(getfacl -c m/f) |
                ns ext4 | eval "$EXT4"; touch m/f | PosixAcls.modify @m/f ACCESS $MANY | ExtendedIOException 28 The ACL is over the system's limit. | eval "$AGAIN" getfacl -c m/f => user::rw- group::r-- other::r--
                ns ramfs | mkdir m; mount -t ramfs x m; touch m/f | PosixAcls.modify @m/f ACCESS u:nobody:r | NotSupportedException 95 The file system keeps no such ACL for this file. |
                """, "EXT4=truncate -s 8M i; mkfs.ext4 -q -F i; mkdir m; mount -o loop i m", "AGAIN=unshare -m sh -c 'mount -o loop i m; \"$@\"' sh",
                "MANY=" + IntStream.rangeClosed(1, 3000).mapToObj(g -> "g:" + g + ":r").collect(Collectors.joining(",")),
                "LONG=" + IntStream.rangeClosed(60001, 61000).mapToObj(g -> "g:" + g + ":r--").collect(Collectors.joining(",", "u::rw-,g::r--,", ",m::r--,o::---")));
    }

    @Test
    void capabilitiesAsGetcapAndSetcapSeeThem() throws Exception {
        Kit.table(base, """
                root | touch f; setcap cap_net_bind_service=ep f | FileCapabilities.get @f | $(getcap f|cut -d' ' -f2) |
                root | touch f; setcap = f | FileCapabilities.get @f | = |
                root | touch f | FileCapabilities.get @f | (none) |
                root | touch f | FileCapabilities.set @f 'cap_chown,cap_kill+ep' | ok | getcap f => f cap_chown,cap_kill=ep
                root | touch f; setcap cap_kill=ep f | FileCapabilities.set @f cap_bogus=ep | ExtendedIOException 22 The capability text does not parse: an unknown capability or a wrong clause. | getcap f => f cap_kill=ep
                root | touch f | FileCapabilities.set @f 'cap_chown=ep cap_kill+i' | ExtendedIOException 22 The system refuses the capability set: an effective set must be empty or all permitted and inheritable ones. | getcap f|wc -c => 0
                root | touch f | FileCapabilities.set @f '$CAPS' | ok | getcap f => f cap_chown=ep
                root | touch f; setcap cap_kill=ep f | FileCapabilities.remove @f | ok | getcap f|wc -c => 0
                root | touch f | FileCapabilities.remove @f | ExtendedIOException 61 The file has no capabilities. |
                root | touch x; ln -s x l | FileCapabilities.set @l cap_kill=ep | NotSupportedException 95 Only a regular file on a file system with extended attributes has capabilities. | getcap x|wc -c => 0
                root | mkdir d | FileCapabilities.get @d | NotSupportedException 95 Only a regular file on a file system with extended attributes has capabilities. |
                nobody | touch f; chown 65534 f | FileCapabilities.set @f cap_kill=ep | AccessDeniedException 1 Could not access the capabilities of the file.  Permission denied. | getcap f|wc -c => 0
                nobody | touch f; setcap cap_kill=ep f | FileCapabilities.get @f | cap_kill=ep |
                ns ro | mkdir r; touch r/f; mount --bind r r; mount -o remount,bind,ro r | FileCapabilities.set @r/f cap_kill=ep | AccessDeniedException 30 Could not access the capabilities of the file.  Permission denied. |
                ns ext4 | eval "$EXT4"; touch m/f | FileCapabilities.set @m/f cap_net_raw=p | ok | eval "$AGAIN" getcap m/f => m/f cap_net_raw=p
                ns tmpfs | mkdir m; mount -t tmpfs x m; touch m/f; setcap cap_kill=ei m/f | FileCapabilities.get @m/f | $(getcap m/f|cut -d' ' -f2) |
                """, "EXT4=truncate -s 8M i; mkfs.ext4 -q -F i; mkdir m; mount -o loop i m", "AGAIN=unshare -m sh -c 'mount -o loop i m; \"$@\"' sh",
                "CAPS=" + String.join(" ", Collections.nCopies(400, "cap_chown+ep")));
    }
}
