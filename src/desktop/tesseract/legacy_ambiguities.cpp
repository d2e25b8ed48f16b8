// Tesseract 5 builds, for every engine it starts, a table of "universal
// ambiguities" that only its legacy recognizer reads (the adaptive
// classifier and the old segmentation search); an engine that recognizes
// with the LSTM model alone never looks at it. Building it costs about 6% of
// the instructions spent reading a screen, per engine.
//
// The library calls its loader through its procedure linkage table, and a
// module's own symbols come before those of the libraries it loads in that
// lookup: this empty definition is the one the module's engines call, so they
// start without the table. A Tesseract built to bind the call within itself
// would load the table as before, which only costs that time.
namespace tesseract {

class UNICHARSET;

class UnicharAmbigs {
 public:
  void LoadUniversal(const UNICHARSET& encoder, UNICHARSET* unicharset);
};

__attribute__((visibility("default"))) void UnicharAmbigs::LoadUniversal(const UNICHARSET& /*encoder*/,
                                                                         UNICHARSET* /*unicharset*/) {}

}  // namespace tesseract
