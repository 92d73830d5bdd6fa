// The uris of a glTF face: only data: uris and regular files inside the glTF
// file's folder are read. End to end, a face whose buffer uri climbs out of
// its folder is refused naming the uri, and strace shows that the run never
// opens the file outside.
#include "gltf_uri.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
// A glTF file of one triangle whose positions are the 36 bytes of the buffer
// at uri, and whose one image is at imageUri (none when empty).
std::string TriangleGltf(const std::string& uri, const std::string& imageUri = "")
{
  std::string images;
  if (!imageUri.empty())
  {
    images = R"(,"images":[{"uri":")" + imageUri + R"("}])";
  }
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
         R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
         R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
         R"("min":[0,0,0],"max":[1,1,0]}],"bufferViews":[{"buffer":0,"byteLength":36}],)"
         R"("buffers":[{"byteLength":36,"uri":")" +
         uri + R"("}])" + images + "}";
}

// The 36 bytes of three float positions (0 0 0, 1 0 0, 0 1 0), as base64.
const char* const TriangleBase64 = "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";

class GltfUriTest : public ::testing::Test
{
protected:
  GltfUriTest()
  {
    std::filesystem::create_directory(this->Folder.File("scene"));
    std::filesystem::create_directory(this->Folder.File("scene/textures"));
    this->Folder.Write("secret.bin", std::string(36, 's'));
    this->Folder.Write("scene/triangle.bin", std::string(36, '\0'));
    this->Folder.Write("scene/textures/skin.png", "not read here");
    this->Gltf = this->Folder.Write("scene/face.gltf", TriangleGltf("triangle.bin"));
  }

  // The reason ResolveGltfUri gives for uri, or "" when it accepts it.
  std::string Refusal(const std::string& uri)
  {
    std::string path, why;
    return ResolveGltfUri(this->Gltf, uri, path, why) ? "" : why;
  }

  TemporaryFolder Folder;
  std::string Gltf;
};

TEST_F(GltfUriTest, DataUrisAndFilesInsideTheFolderAreAccepted)
{
  std::string path, why;
  ASSERT_TRUE(ResolveGltfUri(this->Gltf, "triangle.bin", path, why)) << why;
  EXPECT_EQ(path, std::filesystem::canonical(this->Folder.File("scene/triangle.bin")).string());
  ASSERT_TRUE(ResolveGltfUri(this->Gltf, "textures/../textures/skin.png", path, why)) << why;
  EXPECT_EQ(path, std::filesystem::canonical(this->Folder.File("scene/textures/skin.png")));
  ASSERT_TRUE(ResolveGltfUri(this->Gltf, "data:application/octet-stream;base64,AAAA", path, why));
  EXPECT_EQ(path, "");
}

TEST_F(GltfUriTest, UrisThatLeaveTheFolderOrNameNoRegularFileAreRefusedNamingTheUri)
{
  const std::string secret = this->Folder.File("secret.bin");
  std::filesystem::create_symlink(secret, this->Folder.File("scene/link.bin"));
  ASSERT_EQ(mkfifo(this->Folder.File("scene/pipe.bin").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", this->Folder.File("scene/zero.bin"));
  const std::string outside = "leaves the folder of " + this->Gltf;
  EXPECT_EQ(this->Refusal("../../../../../../../../etc/passwd"),
            "\"../../../../../../../../etc/passwd\" " + outside);
  EXPECT_EQ(this->Refusal("../secret.bin"), "\"../secret.bin\" " + outside);
  EXPECT_EQ(this->Refusal("textures/../../secret.bin"), "\"textures/../../secret.bin\" " + outside);
  EXPECT_EQ(this->Refusal("link.bin"), "\"link.bin\" " + outside);
  EXPECT_EQ(this->Refusal(secret),
            "\"" + secret + "\" is an absolute path; only paths inside the folder of " +
              this->Gltf + " are read");
  EXPECT_EQ(this->Refusal("file://" + secret),
            "\"file://" + secret + "\" names a scheme; only data: uris and paths inside the " +
              "folder of " + this->Gltf + " are read");
  EXPECT_EQ(this->Refusal("pipe.bin"), "\"pipe.bin\" is a FIFO, not a regular file");
  EXPECT_EQ(this->Refusal("zero.bin"), "\"zero.bin\" " + outside);
  EXPECT_EQ(this->Refusal("textures"), "\"textures\" is a folder, not a regular file");
  EXPECT_EQ(this->Refusal("missing.bin"), "\"missing.bin\" does not exist");
}

TEST_F(GltfUriTest, EveryBufferAndImageUriOfTheFileIsChecked)
{
  std::string why;
  EXPECT_TRUE(GltfUrisResolve(this->Gltf, why)) << why;
  this->Folder.Write(
    "scene/face.gltf",
    TriangleGltf(std::string("data:application/octet-stream;base64,") + TriangleBase64,
                 "textures/skin.png"));
  EXPECT_TRUE(GltfUrisResolve(this->Gltf, why)) << why;
  this->Folder.Write("scene/face.gltf", TriangleGltf("triangle.bin", "../secret.bin"));
  EXPECT_FALSE(GltfUrisResolve(this->Gltf, why));
  EXPECT_EQ(why, "its image uri \"../secret.bin\" leaves the folder of " + this->Gltf);
}

TEST_F(GltfUriTest, PasswdAsABufferEndsTheRunNamingTheUriAndNothingOutsideIsOpened)
{
  const std::string scene = this->Folder.File("scene");
  WriteTestScene(scene, "Face face.gltf\n");
  this->Folder.Write("scene/face.gltf", TriangleGltf("../../../../../../../../etc/passwd"));
  ProgramRun run = RunAnimation(scene, "--batch");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh face.gltf: its buffer uri "
                         "\"../../../../../../../../etc/passwd\" leaves the folder of face.gltf"),
            std::string::npos)
    << run.Err;

  // The same with a file of the test's own beside the scene folder, under
  // strace: no open of it, by the program or by its mesh-reading child.
#if defined(__SANITIZE_ADDRESS__)
  // LeakSanitizer cannot run under ptrace, and ends a traced program.
  GTEST_SKIP() << "LeakSanitizer does not run under strace";
#endif
  this->Folder.Write("scene/face.gltf", TriangleGltf("../secret.bin"));
  const std::string trace = this->Folder.File("opens.txt");
  const std::string command =
    "cd '" + scene + "' && strace -f -qq -e trace=open,openat,openat2 -o '" + trace +
    "' '" ANIMATION_BINARY_DIR "/bin/animation' --batch " + "</dev/null >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  const std::string opens = ReadWholeFile(trace);
  ASSERT_NE(opens.find("woman.ptt"), std::string::npos) << "strace saw no open of the scene";
  EXPECT_EQ(opens.find("secret.bin"), std::string::npos) << opens;
}

// The buffers and images a glTF face names are inputs: no output may replace them.
TEST_F(GltfUriTest, GltfOutputOverTheFacesBufferIsRefusedAndTheBufferKept)
{
  const float positions[9] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  const std::string buffer(reinterpret_cast<const char*>(positions), sizeof positions);
  this->Folder.Write("scene/triangle.bin", buffer);
  const std::string scene = this->Folder.File("scene");
  WriteTestScene(scene, "Face face.gltf\n");
  const ProgramRun run = RunAnimation(scene, "--batch --gltf triangle.bin");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("/triangle.bin of the face mesh face.gltf, which the run reads"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(ReadWholeFile(this->Folder.File("scene/triangle.bin")), buffer);
}
}
