// The controller's outputs of a captured movie: the names claimed, the
// playlist, the web page, the index photo (in parts where it is large) and
// the removal of thumbnails an earlier run left. The slow steps run on the
// frame writer's thread; their outcomes come back to the owner's.
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/index_photo.h"
#include "workflow/frame_output.h"
#include "workflow/frame_writer.h"
#include "workflow/page_generation.h"
#include "workflow/workflow_controller.h"

namespace ombrelo {

namespace {

constexpr char kWebTemplateFolder[] = "templates/web/";

}  // namespace

void WorkflowController::MakeOutputs() {
  const int32_t id = currentMovieId_;
  continueWithNext_ = true;
  // A movie removed while it was captured gets no outputs; the run goes on.
  const Movie* found = std::as_const(project_).MovieById(id);
  if (!found) {
    DebugOutput("No outputs for movie " + std::to_string(id) + ": it was removed\n");
    return;
  }
  emit progress(id, 1000);
  const OutputSettings output = project_.Output();
  // The names the settings give; the claims, the folders and the playlist
  // are the writer's work, off this thread.
  OutputNames names;
  if (output.indexphotoEnabled) names.photo = project_.IndexPhotoFileName(id);
  if (output.iplEnabled) names.playlist = project_.PlaylistFileName(id);
  if (output.htmlEnabled) names.html = project_.HtmlFileName(id);
  outputsPending_ = true;
  photoReportHeld_ = true;
  if (output.iplEnabled) SetStatus(TranslateKept("WorkflowController", kSavingPlaylist));
  writer_->Run([this, id, movie = *found, names, scale = output.EffectiveImageScale()]() mutable {
    // Two videos of one name never share an output: each output's name is
    // claimed for this video, with a suffix where another holds it. One
    // suffix for all three, so that a playlist, page and photo of one name
    // are one video's even while another process names its outputs. The
    // index photo is made last but named first, so that the web page can
    // link to it.
    int suffix = 1;
    const auto claim = [&](std::string& path, const std::string& recorded) {
      if (!path.empty()) path = ClaimOutputFile(path, movie.path(), recorded, &suffix);
    };
    claim(names.photo, movie.indexphoto);
    claim(names.playlist, movie.ipl);
    claim(names.html, movie.html);
    // A photo of more thumbnails than one picture holds at a useful size is
    // made in parts, all named now for the page to link to.
    if (!names.photo.empty())
      names.parts =
          ClaimIndexPhotoParts(movie, names.photo, MovieIndexPhotoParts(movie, scale).size());
    if (!names.playlist.empty())
      names.playlistWritten = WritePlaylist(names.playlist, movie, &names.playlistError);
    PostToOwner(id, [this, id, names = std::move(names)] { OutputsNamed(id, names); });
  });
}

void WorkflowController::OutputsNamed(int32_t id, const OutputNames& names) {
  // A photo that fails takes its name off the movie again.
  if (!project_.MovieById(id)) {
    FinishOutputs(id, false);
    return;
  }
  if (!names.photo.empty()) project_.SetMovieIndexphoto(id, names.photo, names.parts);
  if (!names.playlist.empty()) {
    if (names.playlistWritten) {
      project_.SetMovieIpl(id, names.playlist);
    } else {
      const std::string failure =
          FillIn(Translate("WorkflowController", "Failed to write the playlist '%1' - %2"),
                 {names.playlist, std::strerror(names.playlistError)});
      FailMovie(id, failure);
      FailureNotice(failure, [this] {
        emit messageRequested(
            Message{Translate("Message", "Error"),
                    Translate("WorkflowController", "Failed to open playlist file for writing"),
                    MessageIcon::error, MessageOwner::mainWindow});
      });
    }
  }
  // The pages are made by the writer; the movie is finished when both are
  // back. A photo that fails at once is reported after the movie's finish.
  const OutputSettings output = project_.Output();
  const std::string photoPath = names.photo;
  if (names.html.empty()) {
    MakeIndexPhoto(id, output, photoPath);
    return;
  }
  SetStatus(TranslateKept("WorkflowController", kSavingWebpage));
  const std::string path = names.html;
  const std::string stylesheet = kWebTemplateFolder + output.htmlTransform;
  MakePage(
      id, path, stylesheet,
      [this, id, path, stylesheet, output, photoPath](const PageOutcome& outcome) {
        if (outcome.made) {
          project_.SetMovieHtml(id, path);
        } else if (outcome.failure.kind == PageFailure::Kind::notWritten) {
          FailMovie(
              id, FillIn(Translate("WorkflowController", "Failed to write the web page '%1' - %2"),
                         {path, std::strerror(outcome.failure.systemError)}));
        } else {
          FailMovie(id, FillIn(Translate("WorkflowController",
                                         "Failed to make the web page '%1' from the template "
                                         "'%2' - %3"),
                               {path, ApplicationDataFolder() + stylesheet, outcome.failure.text}));
        }
        if (!outcome.copyFailure.empty()) {
          FailMovie(id, FillIn(Translate("WorkflowController",
                                         "Failed to copy the web page's companion files: %1"),
                               {outcome.copyFailure}));
        }
        MakeIndexPhoto(id, output, photoPath);
      });
}

void WorkflowController::FailMovie(int32_t movieId, const std::string& text) {
  const Movie* movie = project_.MovieById(movieId);
  if (!movie) return;
  project_.AddMovieError(movieId, movie->error.empty() ? text : "; " + text);
}

void WorkflowController::MakePage(int32_t movieId, const std::string& path,
                                  const std::string& stylesheet,
                                  std::function<void(const PageOutcome&)> then,
                                  std::optional<std::string> data) {
  std::optional<std::string> xml =
      data ? std::move(data) : pages_.MovieData(project_, movieId, path);
  if (!xml) {
    PageOutcome outcome;
    outcome.failure = {PageFailure::Kind::dataNotLoaded,
                       Translate("WorkflowController", "the movie is not in the project")};
    then(outcome);
    return;
  }
  writer_->Run(
      [this, movieId, path, stylesheet, xml = std::move(*xml), then = std::move(then)]() mutable {
        // On the writer's thread; the outcome is reported on the owner's.
        PageOutcome outcome;
        outcome.made = pages_.MakePage(path, stylesheet, xml, &outcome.failure);
        // The page refers to its companion files next to itself.
        if (outcome.made &&
            !pages_.CopyCompanionFolder(stylesheet, paths::FolderOf(path), &outcome.copyFailure) &&
            outcome.copyFailure.empty()) {
          outcome.copyFailure = "'" + paths::FolderOf(path) + "'";
        }
        PostToOwner(movieId, [this, outcome = std::move(outcome), then = std::move(then)] {
          // The box waits for the user; the run does not wait for the box.
          if (const std::optional<Message> message =
                  FailureMessage(outcome.failure, MessageOwner::mainWindow))
            MessageNotice(*message);
          then(outcome);
        });
      });
}

void WorkflowController::MakeIndexPhoto(int32_t movieId, const OutputSettings& output,
                                        const std::string& photoPath) {
  if (photoPath.empty()) {
    FinishOutputs(movieId, false);
    return;
  }
  SetStatus(TranslateKept("WorkflowController", kSavingIndexPhoto));
  const CaptureSettings& capture = project_.Capture();
  const ClientSize client = photoBounds_;
  int width = capture.contactsheetminwidth;
  int height = capture.contactsheetminheight;
  if (client.width != 0 && width >= client.width) width = client.width;
  if (client.height != 0 && height >= client.height) height = client.height;
  const int quality = capture.jpegquality;
  const std::string stylesheet = "templates/index/" + output.indexphotoTransform;
  const Movie* movie = project_.MovieById(movieId);
  if (movie && !movie->indexphotoParts.empty() && movie->indexphoto == photoPath) {
    auto job = std::make_shared<PhotoParts>();
    job->ranges = MovieIndexPhotoParts(*movie, output.EffectiveImageScale());
    job->outputs = movie->IndexPhotoFiles();
    job->scale = output.EffectiveImageScale();
    job->width = width;
    job->height = height;
    job->quality = quality;
    if (job->ranges.size() == job->outputs.size()) {
      MakeIndexPhotoPart(movieId, stylesheet, std::move(job));
      return;
    }
    // The thumbnails changed since the parts were named: one picture.
    project_.SetMovieIndexphoto(movieId, photoPath);
  }
  const std::string page = renderer_->NextPage();
  MakePage(movieId, page, stylesheet, [=, this](const PageOutcome& outcome) {
    if (outcome.made) {
      renderer_->RenderParts(movieId, {{page, photoPath}}, width, height, quality);
    } else {
      renderer_->PageFailed(movieId, photoPath);
    }
    FinishOutputs(movieId, true);
  });
}

void WorkflowController::MakeIndexPhotoPart(int32_t movieId, const std::string& stylesheet,
                                            std::shared_ptr<PhotoParts> job) {
  const size_t n = job->pages.size();
  const Movie* movie = project_.MovieById(movieId);
  const std::string page = renderer_->NextPage();
  std::optional<std::string> data;
  if (movie) data = IndexPhotoPartDocument(*movie, job->ranges[n], page, job->scale);
  MakePage(
      movieId, page, stylesheet,
      [=, this](const PageOutcome& outcome) {
        if (!outcome.made) {
          // The pages made so far go; the photo fails as a single one does.
          for (const std::string& made : job->pages) std::remove(made.c_str());
          renderer_->PageFailed(movieId, job->outputs[n]);
          FinishOutputs(movieId, true);
          return;
        }
        job->pages.push_back(page);
        if (job->pages.size() < job->outputs.size()) {
          MakeIndexPhotoPart(movieId, stylesheet, job);
          return;
        }
        std::vector<IndexPhotoGenerator::Part> parts;
        for (size_t k = 0; k < job->pages.size(); ++k)
          parts.push_back({job->pages[k], job->outputs[k]});
        renderer_->RenderParts(movieId, std::move(parts), job->width, job->height, job->quality);
        FinishOutputs(movieId, true);
      },
      std::move(data));
}

void WorkflowController::FinishOutputs(int32_t movieId, bool photoComing) {
  outputsPending_ = false;
  if (const Movie* movie = project_.MovieById(movieId)) {
    // A movie stays failed when its index photo failed already.
    if (movie->status != kMovieFailed) project_.SetMovieStatus(movieId, kMovieDone);
    if (!photoComing) RemoveStaleThumbnails(movieId);
    emit movieFinished(*movie);
  }
  photoReportHeld_ = false;
  if (heldPhotoReport_) {
    const HeldPhotoReport held = *heldPhotoReport_;
    heldPhotoReport_.reset();
    OnIndexPhotoFinished(held.movieId, held.written);
  }
  ScheduleIdle();
}

void WorkflowController::OnIndexPhotoFinished(int32_t movieId, bool written) {
  if (photoReportHeld_) {
    heldPhotoReport_ = HeldPhotoReport{movieId, written};
    return;
  }
  // The movie may have been removed while its photo was rendered.
  if (const Movie* movie = project_.MovieById(movieId)) {
    if (written) {
      RemoveStaleThumbnails(movieId);
    } else {
      project_.SetMovieIndexphoto(movieId, "");
    }
    emit indexPhotoFinished(*movie, written);
  }
  ScheduleIdle();
}

void WorkflowController::RemoveStaleThumbnails(int32_t movieId) {
  const Movie* movie = std::as_const(project_).MovieById(movieId);
  // Not while the movie is captured again, nor when an output of it failed.
  if (!movie || IsWaiting(*movie) || movie->status == kMovieFailed) return;
  // On the writer, after the frames given before (a capture of the movie
  // begun later writes its thumbnails after this). The run is not over
  // until they are gone.
  ++removalsPending_;
  Movie named(*movie);
  named.thumbPrefix = movie->thumbPrefix;  // a copy leaves the naming behind
  writer_->Run([this, movie = std::move(named)] {
    RemoveThumbnailsNotNamed(movie);
    PostToOwner(movie.id(), [this] {
      --removalsPending_;
      ScheduleIdle();
    });
  });
}

}  // namespace ombrelo
