#include "FileSecretStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileSizeLimit.h"

namespace {

using Status = SecretStore::Status;

class FileSecretStoreTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString folder = root.path() + QStringLiteral("/Secrets");
    QString path = folder + QStringLiteral("/secrets.json");
    FileSecretStore store{path};
    const QString service = QStringLiteral("com.halvex.Orlin");
};

TEST_F(FileSecretStoreTest, FindAddReplaceAndRemoveKeepItemsApartByServiceAndAccount) {
    EXPECT_EQ(store.find(service, QStringLiteral("a")).status, Status::NotFound) << "no file yet";
    EXPECT_EQ(store.replace(service, QStringLiteral("a"), "x"), Status::NotFound);
    EXPECT_EQ(store.remove(service, QStringLiteral("a")), Status::NotFound);

    const QByteArray binary("\x00\xff\xfe zero", 8);
    EXPECT_EQ(store.add(service, QStringLiteral("a"), binary), Status::Success);
    EXPECT_EQ(store.add(service, QStringLiteral("b"), QByteArray()), Status::Success);
    EXPECT_EQ(store.add(QStringLiteral("other"), QStringLiteral("a"), "theirs"), Status::Success);
    EXPECT_EQ(store.add(service, QStringLiteral("a"), "again"), Status::Failure) << "the item exists";

    const SecretStore::FindResult a = FileSecretStore(path).find(service, QStringLiteral("a"));
    EXPECT_EQ(a.status, Status::Success);
    EXPECT_EQ(a.secret, binary);
    const SecretStore::FindResult empty = store.find(service, QStringLiteral("b"));
    EXPECT_EQ(empty.status, Status::Success) << "an empty secret is still an item";
    EXPECT_TRUE(empty.secret.isEmpty());

    EXPECT_EQ(store.replace(service, QStringLiteral("a"), "new"), Status::Success);
    EXPECT_EQ(store.find(service, QStringLiteral("a")).secret, QByteArray("new"));
    EXPECT_EQ(store.remove(service, QStringLiteral("a")), Status::Success);
    EXPECT_EQ(store.find(service, QStringLiteral("a")).status, Status::NotFound);
    EXPECT_EQ(store.find(QStringLiteral("other"), QStringLiteral("a")).secret, QByteArray("theirs"));
}

TEST_F(FileSecretStoreTest, OnlyTheUserCanReadTheFileOrEnterItsFolderEvenAfterSomeoneWidenedThem) {
    ASSERT_EQ(store.add(service, QStringLiteral("refreshToken"), "secret"), Status::Success);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                        QFileDevice::WriteOther | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    EXPECT_EQ(QFile::permissions(folder) & others, QFileDevice::Permissions());

    QFile::setPermissions(folder,
                          QFile::permissions(folder) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther);
    ASSERT_EQ(store.replace(service, QStringLiteral("refreshToken"), "renewed"), Status::Success);
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
    EXPECT_EQ(QFile::permissions(folder) & others, QFileDevice::Permissions());
}

TEST_F(FileSecretStoreTest, AWriteThatCannotCompleteLeavesEveryItemAsItWas) {
    ASSERT_EQ(store.add(service, QStringLiteral("refreshToken"), "the rotated token"), Status::Success);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    {
        const FileSizeLimit full(before.size() + 16);
        EXPECT_EQ(store.replace(service, QStringLiteral("refreshToken"), QByteArray(4096, 'n')),
                  Status::Failure);
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before) << "a full disk must not log the user out";
    EXPECT_EQ(store.find(service, QStringLiteral("refreshToken")).secret, "the rotated token");
}

TEST_F(FileSecretStoreTest, AFileThatCannotBeUnderstoodIsAFailureAndIsNeverOverwritten) {
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ truncated");
    file.close();

    EXPECT_EQ(store.find(service, QStringLiteral("a")).status, Status::Failure);
    EXPECT_EQ(store.add(service, QStringLiteral("a"), "x"), Status::Failure);
    EXPECT_EQ(store.remove(service, QStringLiteral("a")), Status::Failure);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("{ truncated"));
}

}  // namespace
