// The files a glTF file names. Its buffers and images are named by uris: a
// data: uri holds the bytes itself, any other is a path relative to the
// glTF file's folder, which the toolkit's reader opens as it is. A uri of
// "../../../../etc/passwd" would make any file on the machine a buffer (its
// bytes the face's vertex positions, and those written out again), and one
// of a FIFO or /dev/zero would hold the read up forever. So every uri is
// resolved here first, and the glTF file is read only when each one names a
// regular file inside its folder.
#ifndef gltf_uri_h
#define gltf_uri_h

#include <string>
#include <vector>

// Resolves uri, as the glTF file gltfFile names a buffer or an image, to the
// path of the file it names, in path. A data: uri is accepted with path left
// empty. Returns false, with a reason that quotes uri in why, when uri names
// another scheme (file:, http:), is an absolute path, leaves the folder of
// gltfFile (through "..", or through a link to a place outside it), or names
// something other than a regular file of at most MaximumDataFileBytes.
bool ResolveGltfUri(const std::string& gltfFile,
                    const std::string& uri,
                    std::string& path,
                    std::string& why);

// True when every buffer and image uri of gltfFile (a .gltf, or a .glb with
// its JSON chunk) resolves; otherwise false with the first reason in why
// ("its buffer uri "../../etc/passwd" leaves the folder of face.gltf").
// The files that the uris name (not the data: ones) are added to files when
// it is not null.
bool GltfUrisResolve(const std::string& gltfFile,
                     std::string& why,
                     std::vector<std::string>* files = nullptr);

#endif
